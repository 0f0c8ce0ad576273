// GMime first: its gio headers have a member named "signals", which clashes with Qt's keywords.
#include <gmime/gmime.h>

#include "imap/mimereader.h"

#include <QString>
#include <QStringDecoder>

#include <memory>
#include <mutex>

namespace {

// No real mail nests this deep; stopping here keeps hostile input from exhausting the stack.
constexpr int kMaxDepth = 64;

struct GObjectUnref {
    void operator()(gpointer object) const { g_object_unref(object); }
};
template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectUnref>;

GMimeParserOptions *parserOptions()
{
    static GMimeParserOptions *options = nullptr;
    static std::once_flag once;
    std::call_once(once, [] {
        g_mime_init();
        options = g_mime_parser_options_new();
        // Headers with undeclared 8-bit bytes: UTF-8 when it is valid, else the common Western legacy.
        static const char *fallback[] = {"UTF-8", "windows-1252", nullptr};
        g_mime_parser_options_set_fallback_charsets(options, fallback);
        g_mime_parser_options_set_rfc2047_compliance_mode(options, GMIME_RFC_COMPLIANCE_LOOSE);
        g_mime_parser_options_set_address_compliance_mode(options, GMIME_RFC_COMPLIANCE_LOOSE);
        g_mime_parser_options_set_parameter_compliance_mode(options, GMIME_RFC_COMPLIANCE_LOOSE);
    });
    return options;
}

QString utf8Text(const char *text)
{
    return text ? QString::fromUtf8(text) : QString();
}

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

// The declared charset when iconv knows it and the bytes fit it; otherwise UTF-8, then windows-1252.
QString decodeText(const QByteArray &bytes, const char *charset)
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

QByteArray decodedContent(GMimePart *part)
{
    GMimeDataWrapper *content = g_mime_part_get_content(part);
    if (!content)
        return {};
    GObjectPtr<GMimeStream> stream(g_mime_stream_mem_new());
    g_mime_data_wrapper_write_to_stream(content, stream.get()); // undoes base64, quoted-printable
    GByteArray *bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(stream.get()));
    return QByteArray(reinterpret_cast<const char *>(bytes->data), qsizetype(bytes->len));
}

// CRLF is the mail transport's line end; the list filter and the worksheet want plain LF.
// CRs before an LF (text converted to CRLF twice) and a lone CR (old Mac text) end a line too.
// NUL characters go: they break the consumers downstream (C strings, spreadsheet cells).
QString withPlainLineEnds(QString text)
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

QString bodyText(GMimePart *part)
{
    if (!part)
        return {};
    const char *charset = g_mime_object_get_content_type_parameter(GMIME_OBJECT(part), "charset");
    return withPlainLineEnds(decodeText(decodedContent(part), charset));
}

struct Bodies {
    GMimePart *plain = nullptr;
    GMimePart *html = nullptr;
};

bool isAttachment(GMimePart *part)
{
    return g_mime_part_is_attachment(part) || g_mime_part_get_filename(part);
}

// Depth first. Attached messages (message/rfc822) are not entered: their text is not this
// message's body.
void findBodies(GMimeObject *object, int depth, Bodies &found)
{
    if (!object || depth > kMaxDepth)
        return;
    if (GMIME_IS_MULTIPART(object)) {
        GMimeMultipart *multipart = GMIME_MULTIPART(object);
        const int count = g_mime_multipart_get_count(multipart);
        for (int i = 0; i < count && !(found.plain && found.html); ++i)
            findBodies(g_mime_multipart_get_part(multipart, i), depth + 1, found);
        return;
    }
    if (!GMIME_IS_PART(object) || isAttachment(GMIME_PART(object)))
        return;
    GMimeContentType *type = g_mime_object_get_content_type(object);
    if (!type)
        return;
    if (!found.plain && g_mime_content_type_is_type(type, "text", "plain"))
        found.plain = GMIME_PART(object);
    else if (!found.html && g_mime_content_type_is_type(type, "text", "html"))
        found.html = GMIME_PART(object);
}

InternetAddressMailbox *firstMailbox(InternetAddressList *list)
{
    const int count = list ? internet_address_list_length(list) : 0;
    for (int i = 0; i < count; ++i) {
        InternetAddress *address = internet_address_list_get_address(list, i);
        if (INTERNET_ADDRESS_IS_MAILBOX(address))
            return INTERNET_ADDRESS_MAILBOX(address);
        if (INTERNET_ADDRESS_IS_GROUP(address)) {
            InternetAddressList *members = internet_address_group_get_members(INTERNET_ADDRESS_GROUP(address));
            if (InternetAddressMailbox *mailbox = firstMailbox(members))
                return mailbox;
        }
    }
    return nullptr;
}

void readSender(GMimeMessage *message, Email &email)
{
    InternetAddressList *from = g_mime_message_get_from(message);
    if (!from)
        return;
    // No encoding: the display form a user reads, e.g. "Ann Example <ann@example.org>".
    if (char *display = internet_address_list_to_string(from, nullptr, FALSE)) {
        email.From = QString::fromUtf8(display);
        g_free(display);
    }
    if (InternetAddressMailbox *mailbox = firstMailbox(from)) {
        email.FromName = utf8Text(internet_address_get_name(INTERNET_ADDRESS(mailbox)));
        email.FromAddress = utf8Text(internet_address_mailbox_get_addr(mailbox));
    }
}

// GMime keeps header values as C strings, so a NUL byte would cut a header short. Drop NULs in
// the message's own header block only: a binary body may hold them legitimately.
QByteArray withoutHeaderNuls(const QByteArray &raw)
{
    // The header block ends at the first empty line, with either line end.
    qsizetype end = raw.size();
    for (qsizetype lf = raw.indexOf('\n'); lf >= 0; lf = raw.indexOf('\n', lf + 1)) {
        const QByteArrayView rest = QByteArrayView(raw).sliced(lf + 1);
        if (rest.startsWith('\n') || rest.startsWith("\r\n")) {
            end = lf;
            break;
        }
    }
    if (!QByteArrayView(raw).first(end).contains('\0'))
        return raw;
    return raw.first(end).replace('\0', QByteArray()) + raw.sliced(end);
}

GObjectPtr<GMimeMessage> parseMessage(const QByteArray &bytes)
{
    GMimeParserOptions *options = parserOptions();
    GObjectPtr<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(bytes.constData(), bytes.size()));
    GObjectPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    g_mime_parser_set_format(parser.get(), GMIME_FORMAT_MESSAGE);
    return GObjectPtr<GMimeMessage>(g_mime_parser_construct_message(parser.get(), options));
}

} // namespace

Email ReadEmail(const QByteArray &raw, const QDateTime &internalDate)
{
    Email email;
    email.Date = internalDate.isValid() ? internalDate.toLocalTime() : QDateTime();

    const QByteArray bytes = withoutHeaderNuls(raw);
    GObjectPtr<GMimeMessage> message = parseMessage(bytes);
    // Cut off in the middle of a header line, the parser gives up on the whole message; ending
    // the header block keeps the headers read so far.
    if (!message && !bytes.isEmpty())
        message = parseMessage(bytes + "\r\n\r\n");
    if (!message)
        return email;

    readSender(message.get(), email);
    email.Subject = utf8Text(g_mime_message_get_subject(message.get()));
    if (GDateTime *date = g_mime_message_get_date(message.get()))
        email.Date = QDateTime::fromSecsSinceEpoch(g_date_time_to_unix(date));

    Bodies bodies;
    findBodies(g_mime_message_get_mime_part(message.get()), 0, bodies);
    email.PlainTextBody = bodyText(bodies.plain);
    email.HTMLTextBody = bodyText(bodies.html);
    return email;
}
