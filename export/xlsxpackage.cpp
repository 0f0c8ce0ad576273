#include "export/xlsxpackage.h"

#include <QByteArray>
#include <QFile>
#include <QList>
#include <QtEndian>

#include <algorithm>
#include <optional>
#include <zlib.h>

namespace {

constexpr quint32 EndOfDirectorySignature = 0x06054b50;
constexpr quint32 DirectoryEntrySignature = 0x02014b50;
constexpr quint32 LocalHeaderSignature = 0x04034b50;
constexpr qint64 EndOfDirectorySize = 22;
constexpr qsizetype DirectoryEntrySize = 46;
constexpr qsizetype LocalHeaderSize = 30;
constexpr quint16 Stored = 0;
constexpr quint16 Deflated = 8;
constexpr quint16 HasDataDescriptor = 0x0008;

// The parts libxlsxwriter writes for a workbook of one sheet without drawings.
const QList<QByteArray> WorkbookParts = {"[Content_Types].xml", "_rels/.rels", "xl/_rels/workbook.xml.rels",
                                         "xl/workbook.xml", "xl/worksheets/sheet1.xml", "xl/styles.xml",
                                         "xl/theme/theme1.xml", "docProps/core.xml", "docProps/app.xml"};
const QByteArray SheetPart = "xl/worksheets/sheet1.xml";

quint16 u16(const QByteArray &bytes, qsizetype at)
{
    return qFromLittleEndian<quint16>(bytes.constData() + at);
}

quint32 u32(const QByteArray &bytes, qsizetype at)
{
    return qFromLittleEndian<quint32>(bytes.constData() + at);
}

void put16(QByteArray &bytes, qsizetype at, quint16 value)
{
    qToLittleEndian(value, bytes.data() + at);
}

void put32(QByteArray &bytes, qsizetype at, quint32 value)
{
    qToLittleEndian(value, bytes.data() + at);
}

QByteArray readAt(QFile &file, qint64 at, qint64 length)
{
    if (at < 0 || length < 0 || !file.seek(at))
        return {};
    const QByteArray bytes = file.read(length);
    return bytes.size() == length ? bytes : QByteArray();
}

struct Entry {
    qsizetype at; // where it starts in Directory::bytes
    QByteArray name;
    quint32 packedSize;
    quint32 local; // its local header's offset in the file
};

// The central directory and the end record after it, as the last bytes of the file. The library
// writes no archive comment: the end record is the last 22 bytes.
struct Directory {
    qint64 offset = 0;
    QByteArray bytes;
    QList<Entry> entries;

    const Entry *find(const QByteArray &name) const
    {
        const auto entry = std::find_if(entries.begin(), entries.end(), [&](const Entry &e) { return e.name == name; });
        return entry == entries.end() ? nullptr : &*entry;
    }
};

std::optional<Directory> readDirectory(QFile &file)
{
    const qint64 end = file.size() - EndOfDirectorySize;
    const QByteArray record = readAt(file, end, EndOfDirectorySize);
    if (record.isEmpty() || u32(record, 0) != EndOfDirectorySignature)
        return std::nullopt;
    Directory directory;
    directory.offset = u32(record, 16);
    if (directory.offset + u32(record, 12) != end)
        return std::nullopt;
    directory.bytes = readAt(file, directory.offset, file.size() - directory.offset);
    const qsizetype entriesEnd = directory.bytes.size() - EndOfDirectorySize;
    qsizetype at = 0;
    for (quint16 k = u16(record, 10); k > 0; --k) {
        if (at + DirectoryEntrySize > entriesEnd || u32(directory.bytes, at) != DirectoryEntrySignature)
            return std::nullopt;
        const quint16 nameLength = u16(directory.bytes, at + 28);
        const qsizetype next = at + DirectoryEntrySize + nameLength + u16(directory.bytes, at + 30)
            + u16(directory.bytes, at + 32);
        if (next > entriesEnd)
            return std::nullopt;
        directory.entries.append({at, directory.bytes.mid(at + DirectoryEntrySize, nameLength),
                                  u32(directory.bytes, at + 20), u32(directory.bytes, at + 42)});
        at = next;
    }
    if (at != entriesEnd)
        return std::nullopt;
    return directory;
}

// Where the part's data starts, after a local header that names it; -1 when there is none.
qint64 dataStart(QFile &file, const Entry &entry)
{
    const QByteArray header = readAt(file, entry.local, LocalHeaderSize);
    if (header.isEmpty() || u32(header, 0) != LocalHeaderSignature)
        return -1;
    const quint16 nameLength = u16(header, 26);
    if (readAt(file, entry.local + LocalHeaderSize, nameLength) != entry.name)
        return -1;
    return qint64(entry.local) + LocalHeaderSize + nameLength + u16(header, 28);
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

// Excel stores an entry typed with a leading "'" as a cell format with quotePrefix="1".
QByteArray withQuotePrefix(QByteArray styles, int xfIndex)
{
    qsizetype at = styles.indexOf("<cellXfs");
    for (int k = 0; at >= 0 && k <= xfIndex; ++k)
        at = styles.indexOf("<xf ", at + 1);
    return at < 0 ? QByteArray() : styles.insert(at + 3, " quotePrefix=\"1\"");
}

} // namespace

bool IsCompletePackage(const QString &path, qint64 sheetBytes)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const std::optional<Directory> directory = readDirectory(file);
    if (!directory)
        return false;
    for (const QByteArray &part : WorkbookParts)
        if (!directory->find(part))
            return false;
    // Parts lie one after another, each ending before the next begins and the last before the
    // directory.
    QList<Entry> parts = directory->entries;
    std::sort(parts.begin(), parts.end(), [](const Entry &a, const Entry &b) { return a.local < b.local; });
    for (qsizetype k = 0; k < parts.size(); ++k) {
        const qint64 start = dataStart(file, parts[k]);
        const qint64 limit = k + 1 < parts.size() ? qint64(parts[k + 1].local) : directory->offset;
        if (start < 0 || start + parts[k].packedSize > limit)
            return false;
    }
    const Entry *sheet = directory->find(SheetPart);
    return u32(directory->bytes, sheet->at + 24) >= sheetBytes;
}

bool MarkQuotePrefix(const QString &path, int xfIndex)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        return false;
    const std::optional<Directory> directory = readDirectory(file);
    const Entry *styles = directory ? directory->find("xl/styles.xml") : nullptr;
    if (!styles)
        return false;
    const QByteArray &central = directory->bytes;
    const quint16 method = u16(central, styles->at + 10);
    const qint64 data = dataStart(file, *styles);
    const QByteArray packed = readAt(file, data, styles->packedSize);
    QByteArray content(u32(central, styles->at + 24), Qt::Uninitialized);
    if (data < 0 || packed.size() != qsizetype(styles->packedSize)
        || !(method == Stored ? (content = packed, true) : method == Deflated && inflateRaw(packed, content))
        || crc32(0, reinterpret_cast<const Bytef *>(content.constData()), uInt(content.size()))
            != u32(central, styles->at + 16))
        return false;
    content = withQuotePrefix(content, xfIndex);
    if (content.isEmpty())
        return false;

    // The parts after the styles move by what the styles part grows.
    quint32 next = quint32(directory->offset);
    for (const Entry &entry : directory->entries)
        if (entry.local > styles->local)
            next = std::min(next, entry.local);
    const QByteArray following = readAt(file, next, directory->offset - next);
    QByteArray header = readAt(file, styles->local, data - styles->local);
    if (header.isEmpty() || following.size() != directory->offset - next)
        return false;
    const quint32 crc = crc32(0, reinterpret_cast<const Bytef *>(content.constData()), uInt(content.size()));
    put16(header, 6, u16(header, 6) & ~HasDataDescriptor); // sizes are in the header
    put16(header, 8, Stored);
    put32(header, 14, crc);
    put32(header, 18, quint32(content.size()));
    put32(header, 22, quint32(content.size()));
    put16(header, 28, 0);
    header.truncate(LocalHeaderSize + u16(header, 26));
    const qint64 shift = qint64(header.size() + content.size()) - (next - styles->local);

    QByteArray tail = central;
    for (const Entry &entry : directory->entries) {
        if (entry.at == styles->at) {
            put16(tail, entry.at + 8, u16(central, entry.at + 8) & ~HasDataDescriptor);
            put16(tail, entry.at + 10, Stored);
            put32(tail, entry.at + 16, crc);
            put32(tail, entry.at + 20, quint32(content.size()));
            put32(tail, entry.at + 24, quint32(content.size()));
        } else if (entry.local > styles->local) {
            put32(tail, entry.at + 42, quint32(entry.local + shift));
        }
    }
    put32(tail, tail.size() - EndOfDirectorySize + 16, quint32(directory->offset + shift));
    const QByteArray rewritten = header + content + following + tail;
    return file.seek(styles->local) && file.write(rewritten) == rewritten.size()
        && file.resize(styles->local + rewritten.size()) && file.flush();
}
