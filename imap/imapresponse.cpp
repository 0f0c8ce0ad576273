#include "imap/imapresponse.h"

qint64 ImapNumber(const QByteArray &word)
{
    if (word.isEmpty() || word.size() > 10)
        return -1;
    for (char c : word)
        if (c < '0' || c > '9')
            return -1;
    const qint64 value = word.toLongLong();
    return value <= qint64(0xFFFFFFFF) ? value : -1;
}

void ImapResponse::readHead()
{
    number = -1;
    keyword.clear();
    if (isContinuation())
        return;
    const QByteArray second = word(1);
    if (isUntagged())
        number = ImapNumber(second);
    keyword = (number >= 0 ? word(2) : second).toUpper();
}

QByteArray ImapResponse::raw() const
{
    QByteArray out;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        if (i > 0)
            out += "\r\n" + literals.value(i - 1);
        out += lines[i];
    }
    return out;
}

QByteArray ImapResponse::word(int index) const
{
    if (lines.isEmpty() || index < 0)
        return {};
    // Walks only as far as the word asked for: a first line may be a megabyte long.
    const QByteArray &line = lines.first();
    qsizetype start = 0;
    for (int i = 0; i < index; ++i) {
        start = line.indexOf(' ', start);
        if (start < 0)
            return {};
        ++start;
    }
    const qsizetype end = line.indexOf(' ', start);
    return line.mid(start, end < 0 ? -1 : end - start);
}

QByteArray ImapResponse::tag() const
{
    return word(0);
}
