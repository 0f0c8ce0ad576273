#include "imap/responsereader.h"

namespace {

// The size announced by a trailing "{n}" or "{n+}"; -1 when there is none, -2 when unreadable.
qint64 announcedLiteral(const QByteArray &line)
{
    if (!line.endsWith('}'))
        return -1;
    const qsizetype open = line.lastIndexOf('{');
    if (open < 0)
        return -1;
    QByteArray digits = line.mid(open + 1, line.size() - open - 2);
    if (digits.endsWith('+'))
        digits.chop(1);
    if (digits.isEmpty() || digits.size() > 18)
        return digits.isEmpty() ? -1 : -2;
    for (char c : digits)
        if (c < '0' || c > '9')
            return -1;
    return digits.toLongLong();
}

} // namespace

void ResponseReader::feed(const QByteArray &bytes)
{
    if (failed())
        return;
    m_buffer += bytes;
    process();
}

std::optional<ImapResponse> ResponseReader::next()
{
    if (m_ready.isEmpty())
        return std::nullopt;
    return m_ready.takeFirst();
}

void ResponseReader::clear()
{
    *this = ResponseReader();
}

QByteArray ResponseReader::partialFirstLine() const
{
    return m_current.lines.value(0);
}

void ResponseReader::fail(const QString &text)
{
    m_error = text;
    m_buffer.clear();
    m_literal.clear();
}

void ResponseReader::process()
{
    qsizetype pos = 0;
    while (!failed()) {
        if (m_inLiteral) {
            const qint64 take = qMin<qint64>(m_literalSize - m_literal.size(), m_buffer.size() - pos);
            m_literal.append(m_buffer.constData() + pos, take);
            pos += take;
            if (m_literal.size() < m_literalSize)
                break;
            m_current.literals.append(m_literal);
            m_literal.clear();
            m_inLiteral = false;
            continue;
        }
        const qsizetype end = m_buffer.indexOf('\n', pos);
        if (end < 0) {
            // A CR at the end may be the first half of the line end.
            if (m_buffer.size() - pos - (m_buffer.endsWith('\r') ? 1 : 0) > MaxLineBytes)
                fail(QStringLiteral("The server sent a line longer than %1 bytes.").arg(MaxLineBytes));
            break;
        }
        QByteArray line = m_buffer.mid(pos, end - pos);
        pos = end + 1;
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.size() > MaxLineBytes) {
            fail(QStringLiteral("The server sent a line longer than %1 bytes.").arg(MaxLineBytes));
            break;
        }
        m_currentBytes += line.size();
        m_current.lines.append(line);
        const qint64 literal = announcedLiteral(line);
        if (literal == -2 || literal > MaxLiteralBytes || m_currentBytes + literal > MaxLiteralBytes + MaxLineBytes) {
            fail(QStringLiteral("The server announced a literal too large to accept: %1")
                     .arg(QString::fromLatin1(line.right(40))));
            break;
        }
        if (literal >= 0 && m_current.literals.size() >= MaxLiteralsPerResponse) {
            fail(QStringLiteral("The server sent an answer of more than %1 literals.").arg(MaxLiteralsPerResponse));
            break;
        }
        if (literal >= 0) {
            m_inLiteral = true;
            m_literalSize = literal;
            m_currentBytes += literal;
            m_literal.reserve(qMin<qint64>(literal, qint64(1) << 24));
            continue;
        }
        m_current.readHead();
        m_ready.append(m_current);
        m_current = {};
        m_currentBytes = 0;
    }
    if (!failed())
        m_buffer.remove(0, pos);
}
