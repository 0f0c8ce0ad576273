// GMime first: its gio headers have a member named "signals", which clashes with Qt's keywords.
#include <gmime/gmime.h>

#include "imap/mimetext.h"

#include <QStringDecoder>

namespace {

// Every byte maps to a character, so this never fails. The five bytes windows-1252 leaves
// unassigned keep their C1 code points, as browsers do.
QString fromWindows1252(const QByteArray &bytes)
{
    static constexpr char16_t high[32] = {
        0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
    QString text(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        text[i] = (byte >= 0x80 && byte < 0xA0) ? QChar(high[byte - 0x80]) : QChar(byte);
    }
    return text;
}

QString fromUtf8OrWindows1252(const QByteArray &bytes)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless); // a cut-off sequence is an error
    QString text = utf8.decode(bytes);
    return utf8.hasError() ? fromWindows1252(bytes) : text;
}

} // namespace

QString DecodeMimeText(const QByteArray &bytes, const char *charset)
{
    // Most mail says UTF-8 or ASCII, which need no trip through iconv: bytes that do not fit
    // either fall back the same way.
    if (!charset || g_ascii_strcasecmp(charset, "utf-8") == 0 || g_ascii_strcasecmp(charset, "us-ascii") == 0)
        return fromUtf8OrWindows1252(bytes);
    gsize written = 0;
    gchar *converted = g_convert(bytes.constData(), bytes.size(), "UTF-8", g_mime_charset_iconv_name(charset),
                                 nullptr, &written, nullptr);
    if (!converted)
        return fromUtf8OrWindows1252(bytes);
    QString text = QString::fromUtf8(converted, qsizetype(written));
    g_free(converted);
    return text;
}

// CRLF is the mail transport's line end. CRs before an LF (text converted to CRLF twice) and a
// lone CR (old Mac text) end a line too. NULs break the consumers downstream (C strings, cells).
QString WithPlainLineEnds(QString text)
{
    if (!text.contains(u'\r') && !text.contains(u'\0'))
        return text;
    QChar *out = text.data();
    const QChar *in = out;
    const QChar *const end = in + text.size();
    while (in != end) {
        if (*in == u'\r') {
            while (in != end && *in == u'\r')
                ++in;
            if (in != end && *in == u'\n')
                ++in;
            *out++ = u'\n';
        } else if (*in == u'\0') {
            ++in;
        } else {
            *out++ = *in++;
        }
    }
    text.truncate(out - text.constData());
    return text;
}
