#include "results/mailstore.h"

#include "support/apperror.h"

#include <QDir>
#include <QStringEncoder>
#include <QTemporaryFile>

namespace {

// Texts are written in pieces of this many characters, through one buffer: a text of megabytes
// is never converted whole, which would take fresh memory the size of the text.
constexpr qsizetype PieceChars = 64 * 1024;

// The texts in the order they are kept.
template <typename Record>
auto textsOf(Record &r)
{
    return std::array{&r.From, &r.FromName, &r.FromAddress, &r.Subject, &r.ReceivedDate, &r.PlainTextBody,
                      &r.HTMLTextBody};
}

} // namespace

MailStore::MailStore() = default;
MailStore::~MailStore() = default;

void MailStore::recreate(qint32 maxRecord)
{
    m_size = qMax(maxRecord, 0);
    m_slots.clear();
    m_slots.squeeze();
    m_file.reset();
    m_fileEnd = 0;
}

qint32 MailStore::size() const
{
    return m_size;
}

const MailStore::Slot *MailStore::slot(qint32 index) const
{
    if (index < 1 || index > m_size)
        throw AppError(QStringLiteral("Subscript out of range"));
    return index <= m_slots.size() ? &m_slots[index - 1] : nullptr;
}

MailRecord MailStore::record(qint32 index) const
{
    MailRecord record;
    if (const Slot *found = slot(index)) {
        const QByteArray texts = bytes(*found, 0, TextCount - 1);
        qint64 start = 0;
        for (int t = 0; t < TextCount; ++t) {
            *textsOf(record)[t] = QString::fromUtf8(QByteArrayView(texts).sliced(start, found->ends[t] - start));
            start = found->ends[t];
        }
    }
    return record;
}

QString MailStore::plainTextBody(qint32 index) const
{
    const Slot *found = slot(index);
    return found ? QString::fromUtf8(bytes(*found, 5, 5)) : QString();
}

QByteArray MailStore::bytes(const Slot &slot, int first, int last) const
{
    const qint64 start = first == 0 ? 0 : slot.ends[first - 1];
    const qint64 length = slot.ends[last] - start;
    if (slot.offset < 0)
        return slot.held.mid(start, length);
    if (length == 0)
        return {};
    if (!m_file->seek(slot.offset + start))
        throw AppError(m_file->errorString());
    const QByteArray read = m_file->read(length);
    if (read.size() != length)
        throw AppError(m_file->errorString());
    return read;
}

void MailStore::setRecord(qint32 index, const MailRecord &record)
{
    slot(index);
    // Records are stored in row order, so the slots grow with the rows, not with the bound.
    if (index > m_slots.size())
        m_slots.resize(index);
    Slot &target = m_slots[index - 1];
    target = Slot{};
    if (spill(target, record))
        return;
    target.offset = -1;
    for (int t = 0; t < TextCount; ++t) {
        target.held += QByteArray(QStringEncoder(QStringEncoder::Utf8).encode(*textsOf(record)[t]));
        target.ends[t] = target.held.size();
    }
}

bool MailStore::spill(Slot &slot, const MailRecord &record)
{
    if (!openFile() || !m_file->seek(m_fileEnd))
        return false;
    qint64 written = 0;
    for (int t = 0; t < TextCount; ++t) {
        const QStringView text = *textsOf(record)[t];
        for (qsizetype at = 0; at < text.size();) {
            qsizetype chars = qMin(PieceChars, text.size() - at);
            if (text[at + chars - 1].isHighSurrogate() && at + chars < text.size())
                --chars; // a pair stays in one piece
            QStringEncoder toUtf8(QStringEncoder::Utf8);
            m_piece.resize(toUtf8.requiredSpace(chars));
            const qint64 length = toUtf8.appendToBuffer(m_piece.data(), text.sliced(at, chars)) - m_piece.data();
            if (m_file->write(m_piece.constData(), length) != length)
                return false; // the next record is written over what did get in
            written += length;
            at += chars;
        }
        slot.ends[t] = written;
    }
    slot.offset = m_fileEnd;
    m_fileEnd += written;
    return true;
}

bool MailStore::openFile()
{
    if (m_file)
        return true;
    const QString folder = QDir::tempPath(); // empty when the folder named there is missing
    if (folder.isEmpty())
        return false;
    // Qt creates it without a name where the system can, readable by this user alone.
    // Unbuffered, so that a write the disk refused leaves nothing behind to be written later.
    auto file = std::make_unique<QTemporaryFile>(folder + QStringLiteral("/quorvane-XXXXXX"));
    if (!static_cast<QIODevice *>(file.get())->open(QIODevice::ReadWrite | QIODevice::Unbuffered))
        return false;
    m_file = std::move(file);
    return true;
}
