#include "imap/mimeentity.h"

#include "imap/mimetext.h"

#include <mutex>

namespace {

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

GObjectPtr<GMimeParser> parserOf(const QByteArray &bytes)
{
    GObjectPtr<GMimeStream> stream(g_mime_stream_mem_new_with_buffer(bytes.constData(), bytes.size()));
    GObjectPtr<GMimeParser> parser(g_mime_parser_new_with_stream(stream.get()));
    g_mime_parser_set_format(parser.get(), GMIME_FORMAT_MESSAGE);
    return parser;
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

} // namespace

GObjectPtr<GMimeMessage> ParseMimeMessage(const QByteArray &bytes)
{
    GMimeParserOptions *options = parserOptions();
    return GObjectPtr<GMimeMessage>(g_mime_parser_construct_message(parserOf(bytes).get(), options));
}

GObjectPtr<GMimeObject> ParseMimePart(const QByteArray &bytes)
{
    GMimeParserOptions *options = parserOptions();
    return GObjectPtr<GMimeObject>(g_mime_parser_construct_part(parserOf(bytes).get(), options));
}

BodyRole RoleOf(GMimeObject *object)
{
    if (!object || !GMIME_IS_PART(object) || g_mime_part_is_attachment(GMIME_PART(object)))
        return BodyRole::None;
    GMimeContentType *type = g_mime_object_get_content_type(object);
    if (!type)
        return BodyRole::None;
    if (isPlainText(object, type))
        return BodyRole::Plain;
    return g_mime_content_type_is_type(type, "text", "html") ? BodyRole::Html : BodyRole::None;
}

QString BodyText(GMimePart *part)
{
    if (!part)
        return {};
    const char *charset = g_mime_object_get_content_type_parameter(GMIME_OBJECT(part), "charset");
    return WithPlainLineEnds(DecodeMimeText(decodedContent(part), charset));
}
