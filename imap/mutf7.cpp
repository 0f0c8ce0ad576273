#include "imap/mutf7.h"

namespace {

bool isPrintableAscii(char16_t c) { return c >= 0x20 && c <= 0x7e; }

// Base64 with ',' for '/' and no padding.
QByteArray toModifiedBase64(const QString &run)
{
    QByteArray utf16;
    for (QChar c : run) {
        utf16.append(char(c.unicode() >> 8));
        utf16.append(char(c.unicode() & 0xff));
    }
    QByteArray b64 = utf16.toBase64(QByteArray::OmitTrailingEquals);
    b64.replace('/', ',');
    return b64;
}

std::optional<QString> fromModifiedBase64(const QByteArray &b64)
{
    for (char c : b64) {
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')
                        || c == '+' || c == ',';
        if (!ok)
            return std::nullopt;
    }
    if (b64.size() % 4 == 1)
        return std::nullopt;
    QByteArray standard = b64;
    standard.replace(',', '/');
    auto decoded = QByteArray::fromBase64Encoding(standard, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || decoded.decoded.size() % 2 != 0 || decoded.decoded.isEmpty())
        return std::nullopt;
    // Leftover bits in the last digit must be zero: only what an encoder writes is accepted.
    QByteArray again = decoded.decoded.toBase64(QByteArray::OmitTrailingEquals);
    again.replace('/', ',');
    if (again != b64)
        return std::nullopt;
    QString text;
    for (qsizetype i = 0; i < decoded.decoded.size(); i += 2)
        text.append(QChar(char16_t((uchar(decoded.decoded[i]) << 8) | uchar(decoded.decoded[i + 1]))));
    // A shifted run must not hold what could have been written plainly, nor half a surrogate pair.
    for (qsizetype i = 0; i < text.size(); ++i) {
        const bool pair = text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate();
        if (isPrintableAscii(text[i].unicode()) || (text[i].isSurrogate() && !pair))
            return std::nullopt;
        if (pair)
            ++i;
    }
    return text;
}

} // namespace

QByteArray EncodeMailboxName(const QString &name)
{
    QByteArray out;
    QString run;
    auto flush = [&] {
        if (run.isEmpty())
            return;
        out += '&' + toModifiedBase64(run) + '-';
        run.clear();
    };
    for (QChar c : name) {
        if (isPrintableAscii(c.unicode())) {
            flush();
            out += c == u'&' ? QByteArray("&-") : QByteArray(1, char(c.unicode()));
        } else {
            run.append(c);
        }
    }
    flush();
    return out;
}

std::optional<QString> DecodeMailboxName(const QByteArray &encoded)
{
    QString out;
    qsizetype i = 0;
    bool afterRun = false;
    while (i < encoded.size()) {
        const char c = encoded[i];
        if (!isPrintableAscii(uchar(c)))
            return std::nullopt;
        if (c != '&') {
            out.append(QLatin1Char(c));
            afterRun = false;
            ++i;
            continue;
        }
        const qsizetype end = encoded.indexOf('-', i + 1);
        if (end < 0)
            return std::nullopt;
        if (end == i + 1) {
            out.append(u'&');
            afterRun = false;
        } else {
            // Two runs in a row are one run to an encoder: accepting them would give one name
            // two spellings, and the client selects a folder by encoding its name again.
            if (afterRun)
                return std::nullopt;
            const auto run = fromModifiedBase64(encoded.mid(i + 1, end - i - 1));
            if (!run)
                return std::nullopt;
            out.append(*run);
            afterRun = true;
        }
        i = end + 1;
    }
    return out;
}
