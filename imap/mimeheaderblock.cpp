#include "imap/mimeheaderblock.h"

#include <QRegularExpression>
#include <QString>

namespace {

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// "Name:" or the obsolete "Name :": printable ASCII up to the colon. Returns the name's length,
// or 0 when the line does not start a header field.
qsizetype fieldNameLength(QByteArrayView line)
{
    qsizetype name = 0;
    while (name < line.size() && line[name] > ' ' && line[name] < 127 && line[name] != ':')
        ++name;
    qsizetype colon = name;
    while (colon < line.size() && isBlank(line[colon]))
        ++colon;
    return name > 0 && colon < line.size() && line[colon] == ':' ? name : 0;
}

QByteArrayView withoutLineEnd(QByteArrayView line)
{
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return line;
}

// GMime 3.2.13 joins adjacent base64 words of one charset before decoding them, and stops at the
// first word's "=" padding. Each word is decoded on its own here and the run becomes one word:
// GMime then converts the joined bytes, so a character split across two words stays whole.
QByteArray withJoinedBase64Words(const QByteArray &header)
{
    static const QRegularExpression run(
        QStringLiteral("=\\?([^?\\s]+)\\?[Bb]\\?([^?\\s]*)\\?=(?:[ \\t]+=\\?\\1\\?[Bb]\\?[^?\\s]*\\?=)+"),
        QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression word(QStringLiteral("=\\?[^?\\s]+\\?[Bb]\\?([^?\\s]*)\\?="));
    const QString text = QString::fromLatin1(header); // byte for byte
    if (!text.contains(QLatin1String("?=")))
        return header;
    QString joined;
    qsizetype done = 0;
    for (const QRegularExpressionMatch &match : run.globalMatch(text)) {
        QByteArray bytes;
        for (const QRegularExpressionMatch &part : word.globalMatch(match.captured()))
            bytes += QByteArray::fromBase64(part.captured(1).toLatin1());
        joined += QStringView(text).sliced(done, match.capturedStart() - done);
        joined += QStringLiteral("=?%1?B?%2?=").arg(match.captured(1), QString::fromLatin1(bytes.toBase64()));
        done = match.capturedEnd();
    }
    joined += QStringView(text).sliced(done);
    return done == 0 ? header : joined.toLatin1();
}

} // namespace

QByteArray WithRepairedHeaderBlock(const QByteArray &raw)
{
    const qsizetype firstLf = raw.indexOf('\n');
    const QByteArray lineEnd = firstLf > 0 && raw[firstLf - 1] == '\r' ? "\r\n" : "\n"; // the message's own
    QByteArray header;
    qsizetype at = 0;
    while (at < raw.size()) {
        const qsizetype lf = raw.indexOf('\n', at);
        const qsizetype next = lf < 0 ? raw.size() : lf + 1;
        QByteArrayView line = withoutLineEnd(QByteArrayView(raw).sliced(at, next - at));
        if (line.isEmpty()) {
            at = next; // the blank line that ends the header block
            break;
        }
        const bool folded = isBlank(line.front());
        if (folded && !header.isEmpty()) {
            header.chop(lineEnd.size()); // unfolded: a display name keeps no line break
        } else {
            // An indented first line is read as the field it names.
            line = folded ? line.trimmed() : line;
            const bool mboxSeparator = at == 0 && line.startsWith("From "); // GMime skips it
            const qsizetype name = fieldNameLength(line);
            if (name == 0 && !mboxSeparator) {
                // Not a header field: the body starts here, without the blank line. A last line
                // without its line end is a field cut off in its name, not body text.
                if (lf < 0 && !header.isEmpty())
                    at = next;
                break;
            }
            if (name > 0) {
                header += line.first(name);
                line = line.sliced(line.indexOf(':'));
            }
        }
        header += line.toByteArray().replace('\0', QByteArray()); // C strings inside GMime
        header += lineEnd;
        at = next;
    }
    return withJoinedBase64Words(header) + lineEnd + raw.sliced(at);
}
