// GMime first: its gio headers have a member named "signals", which clashes with Qt's keywords.
#include <gmime/gmime.h>

#include "imap/mimereader.h"

#include "imap/mimeheaderblock.h"
#include "imap/mimetext.h"

#include <QRegularExpression>
#include <QString>

#include <memory>
#include <mutex>

namespace {

// No real mail nests this deep; stopping here keeps hostile input from exhausting the stack.
constexpr int MaxDepth = 64;

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

// Lines of the base64 alphabet, as encoders write them: no characters beyond it, no blank
// inside a line.
bool looksLikeBase64(const QByteArray &bytes)
{
    bool inLine = false;
    bool gap = false;
    for (const char c : bytes) {
        if (c == '\n' || c == '\r') {
            inLine = gap = false;
        } else if (c == ' ' || c == '\t') {
            gap = inLine;
        } else {
            if (gap || !(g_ascii_isalnum(c) || c == '+' || c == '/' || c == '='))
                return false;
            inLine = true;
        }
    }
    return true;
}

QByteArray bytesOf(GMimeStream *memory)
{
    GByteArray *bytes = g_mime_stream_mem_get_byte_array(GMIME_STREAM_MEM(memory));
    return QByteArray(reinterpret_cast<const char *>(bytes->data), qsizetype(bytes->len));
}

QByteArray decodedContent(GMimePart *part)
{
    GMimeDataWrapper *content = g_mime_part_get_content(part);
    if (!content)
        return {};
    GObjectPtr<GMimeStream> decoded(g_mime_stream_mem_new());
    g_mime_data_wrapper_write_to_stream(content, decoded.get()); // undoes base64, quoted-printable
    if (g_mime_data_wrapper_get_encoding(content) != GMIME_CONTENT_ENCODING_BASE64)
        return bytesOf(decoded.get());
    // Text under a wrong base64 header decodes to noise: it is shown as it stands.
    GObjectPtr<GMimeStream> encoded(g_mime_stream_mem_new());
    GMimeStream *source = g_mime_data_wrapper_get_stream(content);
    g_mime_stream_reset(source);
    g_mime_stream_write_to_stream(source, encoded.get());
    const QByteArray raw = bytesOf(encoded.get());
    return looksLikeBase64(raw) ? bytesOf(decoded.get()) : raw;
}

QString bodyText(GMimePart *part)
{
    if (!part)
        return {};
    const char *charset = g_mime_object_get_content_type_parameter(GMIME_OBJECT(part), "charset");
    return WithPlainLineEnds(DecodeMimeText(decodedContent(part), charset));
}

struct Bodies {
    GMimePart *plain = nullptr;
    GMimePart *html = nullptr;
    bool any() const { return plain || html; }
};

// RFC 2045 section 5.2: a malformed Content-Type ("text", "<html>") means text/plain. GMime
// reads one as application/octet-stream, so that type counts only when the header says it.
bool isPlainText(GMimeObject *object, GMimeContentType *type)
{
    if (g_mime_content_type_is_type(type, "text", "plain"))
        return true;
    if (!g_mime_content_type_is_type(type, "application", "octet-stream"))
        return false;
    const char *header = g_mime_object_get_header(object, "Content-Type");
    while (header && g_ascii_isspace(*header))
        ++header;
    return header && g_ascii_strncasecmp(header, "application/octet-stream", 24) != 0;
}

// Depth first. Only a disposition of "attachment" makes a part an attachment: inline text often
// carries a file name too. Enclosed messages (message/rfc822) are not entered: their text is
// not this message's body.
void findBodies(GMimeObject *object, int depth, Bodies &found)
{
    if (!object || depth > MaxDepth)
        return;
    if (GMIME_IS_MULTIPART(object)) {
        GMimeMultipart *multipart = GMIME_MULTIPART(object);
        const int count = g_mime_multipart_get_count(multipart);
        for (int i = 0; i < count && !(found.plain && found.html); ++i)
            findBodies(g_mime_multipart_get_part(multipart, i), depth + 1, found);
        return;
    }
    if (!GMIME_IS_PART(object) || g_mime_part_is_attachment(GMIME_PART(object)))
        return;
    GMimeContentType *type = g_mime_object_get_content_type(object);
    if (!type)
        return;
    if (!found.plain && isPlainText(object, type))
        found.plain = GMIME_PART(object);
    else if (!found.html && g_mime_content_type_is_type(type, "text", "html"))
        found.html = GMIME_PART(object);
}

// A forward sent as message/rfc822, or the first entry of a digest.
GMimeMessage *firstEnclosedMessage(GMimeObject *object, int depth)
{
    if (!object || depth > MaxDepth)
        return nullptr;
    if (GMIME_IS_MESSAGE_PART(object))
        return g_mime_message_part_get_message(GMIME_MESSAGE_PART(object));
    if (!GMIME_IS_MULTIPART(object))
        return nullptr;
    GMimeMultipart *multipart = GMIME_MULTIPART(object);
    const int count = g_mime_multipart_get_count(multipart);
    for (int i = 0; i < count; ++i)
        if (GMimeMessage *message = firstEnclosedMessage(g_mime_multipart_get_part(multipart, i), depth + 1))
            return message;
    return nullptr;
}

// The message's own text; when it has none, that of the first message it encloses.
Bodies findMessageBodies(GMimeMessage *message)
{
    Bodies found;
    for (int depth = 0; message && depth <= MaxDepth; ++depth) {
        GMimeObject *root = g_mime_message_get_mime_part(message);
        findBodies(root, 0, found);
        if (found.any())
            break;
        message = firstEnclosedMessage(root, 0);
    }
    return found;
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

QString unquoted(const QString &text)
{
    if (text.size() < 2 || !text.startsWith(u'"') || !text.endsWith(u'"'))
        return text;
    static const QRegularExpression escaped(QStringLiteral("\\\\(.)"));
    return text.mid(1, text.size() - 2).replace(escaped, QStringLiteral("\\1"));
}

// A From field that is no address list ("MAILER DAEMON <>", "John Smith", "<>") keeps its text;
// the name stands before an address in angle brackets, and a lone word with an "@" is an address.
void readUnparsedSender(const QString &text, Email &email)
{
    email.From = text.trimmed();
    const qsizetype open = email.From.lastIndexOf(u'<');
    const qsizetype close = open < 0 ? -1 : email.From.indexOf(u'>', open);
    if (close > open) {
        email.FromName = unquoted(email.From.first(open).trimmed());
        email.FromAddress = email.From.mid(open + 1, close - open - 1).trimmed();
    } else if (email.From.contains(u'@') && !email.From.contains(u' ')) {
        email.FromAddress = email.From;
    } else {
        email.FromName = unquoted(email.From);
    }
}

void readSender(GMimeMessage *message, Email &email)
{
    InternetAddressList *from = g_mime_message_get_from(message);
    InternetAddressMailbox *mailbox = firstMailbox(from);
    const char *address = mailbox ? internet_address_mailbox_get_addr(mailbox) : nullptr;
    if (!address || !*address) {
        readUnparsedSender(utf8Text(g_mime_object_get_header(GMIME_OBJECT(message), "From")), email);
        return;
    }
    // No encoding: the display form a user reads, e.g. "Ann Example <ann@example.org>".
    if (char *display = internet_address_list_to_string(from, nullptr, FALSE)) {
        email.From = QString::fromUtf8(display);
        g_free(display);
    }
    email.FromName = utf8Text(internet_address_get_name(INTERNET_ADDRESS(mailbox)));
    email.FromAddress = utf8Text(address);
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

    GObjectPtr<GMimeMessage> message = parseMessage(WithRepairedHeaderBlock(raw));
    if (!message)
        return email;

    readSender(message.get(), email);
    email.Subject = utf8Text(g_mime_message_get_subject(message.get()));
    if (GDateTime *date = g_mime_message_get_date(message.get()))
        email.Date = QDateTime::fromSecsSinceEpoch(g_date_time_to_unix(date));

    const Bodies bodies = findMessageBodies(message.get());
    email.PlainTextBody = bodyText(bodies.plain);
    email.HTMLTextBody = bodyText(bodies.html);
    return email;
}
