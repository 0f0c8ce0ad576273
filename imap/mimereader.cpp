#include "imap/mimeentity.h"

#include "imap/mimereader.h"

#include "imap/mimeheaderblock.h"

#include <QString>

namespace {

// No real mail nests this deep; stopping here keeps hostile input from exhausting the stack.
constexpr int MaxDepth = 64;

struct Bodies {
    GMimePart *plain = nullptr;
    GMimePart *html = nullptr;
    bool any() const { return plain || html; }
};

// Depth first. Enclosed messages (message/rfc822) are not entered: their text is not this
// message's body.
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
    const BodyRole role = RoleOf(object);
    if (!found.plain && role == BodyRole::Plain)
        found.plain = GMIME_PART(object);
    else if (!found.html && role == BodyRole::Html)
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

} // namespace

Email ReadEmail(const QByteArray &raw, const QDateTime &internalDate)
{
    Email email;
    email.Date = internalDate.isValid() ? internalDate.toLocalTime() : QDateTime();

    GObjectPtr<GMimeMessage> message = ParseMimeMessage(WithRepairedHeaderBlock(raw));
    if (!message)
        return email;

    ReadHeaderValues(message.get(), email);
    const Bodies bodies = findMessageBodies(message.get());
    email.PlainTextBody = BodyText(bodies.plain);
    email.HTMLTextBody = BodyText(bodies.html);
    return email;
}
