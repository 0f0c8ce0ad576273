#include "imap/imapcommand.h"

namespace {

// Quoted strings carry 7-bit text without CR, LF or NUL; anything else travels as a literal.
bool needsLiteral(const QByteArray &value)
{
    for (char c : value)
        if (uchar(c) >= 0x80 || c == '\r' || c == '\n' || c == '\0')
            return true;
    return false;
}

QByteArray quoted(const QByteArray &value)
{
    QByteArray out = "\"";
    for (char c : value) {
        if (c == '"' || c == '\\')
            out += '\\';
        out += c;
    }
    return out + '"';
}

} // namespace

ImapCommand::ImapCommand(const QByteArray &name)
{
    atom(name);
}

ImapCommand &ImapCommand::atom(const QByteArray &text)
{
    m_parts.append({Kind::Atom, text, false});
    return *this;
}

ImapCommand &ImapCommand::string(const QByteArray &value, bool secret)
{
    m_parts.append({needsLiteral(value) ? Kind::Literal : Kind::Quoted, value, secret});
    return *this;
}

QList<QByteArray> ImapCommand::chunks(const QByteArray &tag) const
{
    QList<QByteArray> out;
    QByteArray current = tag;
    for (const Part &part : m_parts) {
        current += ' ';
        switch (part.kind) {
        case Kind::Atom:
            current += part.text;
            break;
        case Kind::Quoted:
            current += quoted(part.text);
            break;
        case Kind::Literal:
            current += '{' + QByteArray::number(part.text.size()) + "}\r\n";
            out.append(current);
            current = part.text;
            break;
        }
    }
    out.append(current + "\r\n");
    return out;
}

QByteArray ImapCommand::shown(const QByteArray &tag) const
{
    QByteArray out = tag;
    for (const Part &part : m_parts) {
        out += ' ';
        if (part.secret)
            out += "<hidden>";
        else
            out += part.kind == Kind::Atom ? part.text : quoted(part.text);
    }
    return out;
}

QString LastErrorText(const QString &shown, const QString &outcome)
{
    return shown + QStringLiteral("\r\n") + outcome;
}
