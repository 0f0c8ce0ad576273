#include "export/xlsxpackage.h"

#include <QByteArray>
#include <QFile>
#include <QXmlStreamReader>
#include <QList>
#include <QtEndian>

#include <algorithm>
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

// A part's name and inflated content, found through its central directory entry at `entry`;
// false when it does not read back whole (size and CRC).
bool readPart(const QByteArray &zip, qsizetype entry, QByteArray &name, QByteArray &part)
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
    name = zip.mid(entry + DirectoryEntrySize, nameLength);
    const qint64 data = qint64(local) + LocalHeaderSize + u16(zip, local + 26) + u16(zip, local + 28);
    if (!fits(zip, data, packedSize))
        return false;
    const QByteArray packed = zip.mid(data, packedSize);
    if (method == Stored) {
        part = packed;
    } else if (method == Deflated) {
        part.resize(size);
        if (!inflateRaw(packed, part))
            return false;
    } else {
        return false;
    }
    return quint32(part.size()) == size
        && crc32(0, reinterpret_cast<const Bytef *>(part.constData()), uInt(part.size())) == crc;
}

// The central directory's entries, after checking where the directory ends. The library writes
// no archive comment: its end record is the last 22 bytes.
QList<qsizetype> directoryEntries(const QByteArray &zip)
{
    const qsizetype end = zip.size() - EndOfDirectorySize;
    if (end < 0 || u32(zip, end) != EndOfDirectorySignature)
        return {};
    QList<qsizetype> entries;
    qint64 entry = u32(zip, end + 16);
    for (quint16 k = u16(zip, end + 10); k > 0; --k) {
        if (!fits(zip, entry, DirectoryEntrySize) || u32(zip, entry) != DirectoryEntrySignature)
            return {};
        entries.append(qsizetype(entry));
        entry += DirectoryEntrySize + u16(zip, entry + 28) + u16(zip, entry + 30) + u16(zip, entry + 32);
    }
    return entries;
}

void put16(QByteArray &bytes, qsizetype at, quint16 value)
{
    qToLittleEndian(value, bytes.data() + at);
}

void put32(QByteArray &bytes, qsizetype at, quint32 value)
{
    qToLittleEndian(value, bytes.data() + at);
}

// The package with one part's content replaced, stored uncompressed; every other part is
// copied as it was.
QByteArray withReplacedPart(const QByteArray &zip, const QList<qsizetype> &entries, qsizetype replaced,
                            const QByteArray &content)
{
    const qsizetype end = zip.size() - EndOfDirectorySize;
    const quint32 directory = u32(zip, end + 16);
    const quint32 local = u32(zip, replaced + 42);
    quint32 localEnd = directory; // where the next part starts
    for (const qsizetype entry : entries)
        if (u32(zip, entry + 42) > local)
            localEnd = std::min(localEnd, u32(zip, entry + 42));
    const quint16 nameLength = u16(zip, local + 26);
    const quint32 crc = crc32(0, reinterpret_cast<const Bytef *>(content.constData()), uInt(content.size()));

    QByteArray header = zip.mid(local, LocalHeaderSize + nameLength);
    put16(header, 6, u16(zip, local + 6) & ~0x0008); // sizes are in the header, no data descriptor
    put16(header, 8, Stored);
    put32(header, 14, crc);
    put32(header, 18, quint32(content.size()));
    put32(header, 22, quint32(content.size()));
    put16(header, 28, 0);
    const qint64 shift = qint64(header.size() + content.size()) - (localEnd - local);

    QByteArray tail = zip.mid(directory);
    for (const qsizetype entry : entries) {
        const qsizetype at = entry - directory;
        if (entry == replaced) {
            put16(tail, at + 8, u16(zip, entry + 8) & ~0x0008);
            put16(tail, at + 10, Stored);
            put32(tail, at + 16, crc);
            put32(tail, at + 20, quint32(content.size()));
            put32(tail, at + 24, quint32(content.size()));
        } else if (u32(zip, entry + 42) > local) {
            put32(tail, at + 42, quint32(u32(zip, entry + 42) + shift));
        }
    }
    put32(tail, end - directory + 16, quint32(directory + shift));
    return zip.first(local) + header + content + zip.sliced(localEnd, directory - localEnd) + tail;
}

// Excel stores an entry typed with a leading "'" as a cell format with quotePrefix="1".
QByteArray withQuotePrefix(QByteArray styles, int xfIndex)
{
    qsizetype at = styles.indexOf("<cellXfs");
    for (int k = 0; at >= 0 && k <= xfIndex; ++k)
        at = styles.indexOf("<xf ", at + 1);
    return at < 0 ? QByteArray() : styles.insert(at + 3, " quotePrefix=\"1\"");
}

} // namespace

bool IsCompletePackage(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray zip = file.readAll();
    const QList<qsizetype> entries = directoryEntries(zip);
    for (const qsizetype entry : entries) {
        QByteArray name;
        QByteArray part;
        if (!readPart(zip, entry, name, part)
            || ((name.endsWith(".xml") || name.endsWith(".rels")) && !isWellFormedXml(part)))
            return false;
    }
    return !entries.isEmpty();
}

bool MarkQuotePrefix(const QString &path, int xfIndex)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        return false;
    const QByteArray zip = file.readAll();
    const QList<qsizetype> entries = directoryEntries(zip);
    for (const qsizetype entry : entries) {
        QByteArray name;
        QByteArray styles;
        if (!readPart(zip, entry, name, styles))
            return false;
        if (name != "xl/styles.xml")
            continue;
        styles = withQuotePrefix(styles, xfIndex);
        if (styles.isEmpty())
            return false;
        const QByteArray marked = withReplacedPart(zip, entries, entry, styles);
        return file.seek(0) && file.write(marked) == marked.size() && file.resize(marked.size()) && file.flush();
    }
    return false;
}
