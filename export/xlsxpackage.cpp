#include "export/xlsxpackage.h"

#include <QByteArray>
#include <QFile>
#include <QXmlStreamReader>
#include <QtEndian>
#include <zlib.h>

namespace {

constexpr quint32 EndOfDirectorySignature = 0x06054b50;
constexpr quint32 DirectoryEntrySignature = 0x02014b50;
constexpr quint32 LocalHeaderSignature = 0x04034b50;
constexpr qsizetype EndOfDirectorySize = 22;
constexpr qsizetype DirectoryEntrySize = 46;
constexpr qsizetype LocalHeaderSize = 30;
constexpr quint16 Stored = 0;
constexpr quint16 Deflated = 8;

quint16 u16(const QByteArray &bytes, qsizetype at)
{
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}

quint32 u32(const QByteArray &bytes, qsizetype at)
{
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

bool fits(const QByteArray &bytes, qint64 at, qint64 length)
{
    return at >= 0 && length >= 0 && at + length <= bytes.size();
}

bool inflateRaw(const QByteArray &packed, QByteArray &out)
{
    z_stream stream{};
    if (inflateInit2(&stream, -MAX_WBITS) != Z_OK)
        return false;
    stream.next_in = reinterpret_cast<Bytef *>(const_cast<char *>(packed.constData()));
    stream.avail_in = uInt(packed.size());
    stream.next_out = reinterpret_cast<Bytef *>(out.data());
    stream.avail_out = uInt(out.size());
    const int result = inflate(&stream, Z_FINISH);
    const bool complete = result == Z_STREAM_END && stream.avail_out == 0;
    inflateEnd(&stream);
    return complete;
}

bool isWellFormedXml(const QByteArray &text)
{
    QXmlStreamReader reader(text);
    while (!reader.atEnd())
        reader.readNext();
    return !reader.hasError();
}

// One part, found through its central directory entry at `entry`.
bool isCompletePart(const QByteArray &zip, qsizetype entry)
{
    const quint16 method = u16(zip, entry + 10);
    const quint32 crc = u32(zip, entry + 16);
    const quint32 packedSize = u32(zip, entry + 20);
    const quint32 size = u32(zip, entry + 24);
    const quint16 nameLength = u16(zip, entry + 28);
    const quint32 local = u32(zip, entry + 42);
    if (!fits(zip, entry + DirectoryEntrySize, nameLength) || !fits(zip, local, LocalHeaderSize)
        || u32(zip, local) != LocalHeaderSignature)
        return false;
    const QByteArray name = zip.mid(entry + DirectoryEntrySize, nameLength);
    const qint64 data = qint64(local) + LocalHeaderSize + u16(zip, local + 26) + u16(zip, local + 28);
    if (!fits(zip, data, packedSize))
        return false;
    const QByteArray packed = zip.mid(data, packedSize);
    QByteArray part;
    if (method == Stored) {
        part = packed;
    } else if (method == Deflated) {
        part.resize(size);
        if (!inflateRaw(packed, part))
            return false;
    } else {
        return false;
    }
    if (quint32(part.size()) != size
        || crc32(0, reinterpret_cast<const Bytef *>(part.constData()), uInt(part.size())) != crc)
        return false;
    return !(name.endsWith(".xml") || name.endsWith(".rels")) || isWellFormedXml(part);
}

} // namespace

bool IsCompletePackage(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray zip = file.readAll();
    // The library writes no archive comment: the directory's end is the last 22 bytes.
    const qsizetype end = zip.size() - EndOfDirectorySize;
    if (end < 0 || u32(zip, end) != EndOfDirectorySignature)
        return false;
    const quint16 parts = u16(zip, end + 10);
    qint64 entry = u32(zip, end + 16);
    for (quint16 k = 0; k < parts; ++k) {
        if (!fits(zip, entry, DirectoryEntrySize) || u32(zip, entry) != DirectoryEntrySignature
            || !isCompletePart(zip, qsizetype(entry)))
            return false;
        entry += DirectoryEntrySize + u16(zip, entry + 28) + u16(zip, entry + 30) + u16(zip, entry + 32);
    }
    return parts > 0;
}
