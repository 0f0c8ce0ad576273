#include "demo/mimewriter.h"

#include <QLocale>

namespace MimeWriter {

namespace {

bool isAscii(const QString &text)
{
    for (QChar c : text)
        if (c.unicode() > 126 || (c.unicode() < 32 && c != u'\t'))
            return false;
    return true;
}

QByteArray encodeBytes(const QByteArray &bytes, WordEncoding encoding)
{
    if (encoding == WordEncoding::B)
        return bytes.toBase64();
    QByteArray out;
    for (char byte : bytes) {
        const auto c = static_cast<unsigned char>(byte);
        if (c == ' ')
            out += '_';
        else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '!' || c == '*'
                 || c == '+' || c == '-' || c == '/')
            out += char(c);
        else
            out += '=' + QByteArray::number(c, 16).toUpper().rightJustified(2, '0');
    }
    return out;
}

QByteArray toCharset(const QString &text, const QByteArray &charset)
{
    return charset == "ISO-8859-1" ? text.toLatin1() : text.toUtf8();
}

} // namespace

QByteArray headerText(const QString &text, const QByteArray &charset, WordEncoding encoding)
{
    if (isAscii(text))
        return text.toUtf8();
    const QByteArray prefix = "=?" + charset + (encoding == WordEncoding::B ? "?B?" : "?Q?");
    QByteArray out;
    QString piece;
    const auto flush = [&] {
        if (piece.isEmpty())
            return;
        if (!out.isEmpty())
            out += "\n "; // whitespace between encoded words is dropped when they are decoded
        out += prefix + encodeBytes(toCharset(piece, charset), encoding) + "?=";
        piece.clear();
    };
    for (qsizetype i = 0; i < text.size(); ++i) {
        // A surrogate pair stays in one word: each word must decode to whole characters.
        const qsizetype length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
        const QString next = piece + text.mid(i, length);
        if (prefix.size() + encodeBytes(toCharset(next, charset), encoding).size() + 2 > 75)
            flush();
        piece += text.mid(i, length);
        i += length - 1;
    }
    flush();
    return out;
}

QByteArray mailbox(const QString &name, const QString &address, const QByteArray &charset, WordEncoding encoding)
{
    if (name.isEmpty())
        return address.toUtf8();
    QByteArray display;
    if (!isAscii(name)) {
        display = headerText(name, charset, encoding);
    } else {
        QString quoted = name;
        quoted.replace(QLatin1Char('\\'), QStringLiteral("\\\\")).replace(QLatin1Char('"'), QStringLiteral("\\\""));
        display = '"' + quoted.toUtf8() + '"';
    }
    return display + " <" + address.toUtf8() + '>';
}

QByteArray date(const QDateTime &when)
{
    const int offset = when.offsetFromUtc() / 60;
    const QString zone = QStringLiteral("%1%2%3")
                             .arg(QChar(offset < 0 ? u'-' : u'+'))
                             .arg(qAbs(offset) / 60, 2, 10, QLatin1Char('0'))
                             .arg(qAbs(offset) % 60, 2, 10, QLatin1Char('0'));
    return (QLocale::c().toString(when, QStringLiteral("ddd, d MMM yyyy hh:mm:ss ")) + zone).toLatin1();
}

QByteArray quotedPrintable(const QByteArray &bytes)
{
    QByteArray out;
    for (const QByteArray &line : bytes.split('\n')) {
        QByteArray current;
        for (qsizetype i = 0; i < line.size(); ++i) {
            const auto c = static_cast<unsigned char>(line.at(i));
            const bool last = i + 1 == line.size();
            QByteArray piece;
            if ((c >= 33 && c <= 126 && c != '=') || ((c == ' ' || c == '\t') && !last))
                piece = QByteArray(1, char(c));
            else
                piece = '=' + QByteArray::number(c, 16).toUpper().rightJustified(2, '0');
            if (current.size() + piece.size() > 75) {
                out += current + "=\n";
                current.clear();
            }
            current += piece;
        }
        out += current + '\n';
    }
    out.chop(1); // split() gave one line more than the text has line ends
    return out;
}

QByteArray base64Lines(const QByteArray &bytes)
{
    const QByteArray encoded = bytes.toBase64();
    QByteArray out;
    for (qsizetype i = 0; i < encoded.size(); i += 76)
        out += encoded.mid(i, 76) + '\n';
    return out;
}

} // namespace MimeWriter
