#include "imap/mimeentity.h"

#include "imap/partsreader.h"

#include "imap/mimeheaderblock.h"
#include "imap/mimereader.h"

namespace {

// The server takes a line that merely starts with a boundary ("--b-x") for one, and a blank line
// after it for the empty header of a part that GMime does not see: a part must show header fields.
bool isHeaderWithFields(const QByteArray &header)
{
    return header.size() > 2 && header.endsWith("\r\n\r\n");
}

// The server and GMime see the same kind of entity, multiparts split at the same boundary. A
// header line the reader takes for the start of the body, or a digest's part without a type (a
// message to the server, text to a part read on its own), shows here.
bool sameKind(GMimeObject *object, const OutlineEntity &entity)
{
    if (!object)
        return false;
    switch (entity.kind) {
    case OutlineEntity::Kind::Multipart: {
        const char *boundary = g_mime_object_get_content_type_parameter(object, "boundary");
        return GMIME_IS_MULTIPART(object) && boundary && entity.boundary == boundary;
    }
    case OutlineEntity::Kind::Message:
        return GMIME_IS_MESSAGE_PART(object);
    case OutlineEntity::Kind::Leaf:
        return GMIME_IS_PART(object);
    }
    return false;
}

// nullopt when the part was not fetched: the server's outline did not choose it.
std::optional<QString> partText(const FetchedMessage &fetched, const QByteArray &section)
{
    if (section.isEmpty())
        return QString();
    const auto mime = fetched.sections.constFind(section + ".MIME");
    const auto body = fetched.sections.constFind(section);
    if (mime == fetched.sections.cend() || body == fetched.sections.cend())
        return std::nullopt;
    GObjectPtr<GMimeObject> part = ParseMimePart(*mime + *body);
    if (!part || !GMIME_IS_PART(part.get()))
        return std::nullopt;
    return BodyText(GMIME_PART(part.get()));
}

std::optional<Email> readParts(const FetchedMessage &fetched, const ReadingPlan &plan)
{
    const auto header = fetched.sections.constFind("HEADER");
    if (header == fetched.sections.cend())
        return std::nullopt;
    GObjectPtr<GMimeMessage> message = ParseMimeMessage(WithRepairedHeaderBlock(*header));
    if (!message)
        return std::nullopt;

    QByteArray plain;
    QByteArray html;
    bool encloses = false;
    for (const OutlineEntity &entity : plan.entities) {
        GObjectPtr<GMimeObject> parsed;
        GMimeObject *object = g_mime_message_get_mime_part(message.get());
        if (!entity.section.isEmpty()) {
            const QByteArray mime = fetched.sections.value(entity.section + ".MIME");
            if (!isHeaderWithFields(mime))
                return std::nullopt;
            parsed = ParseMimePart(mime);
            object = parsed.get();
        }
        if (!sameKind(object, entity))
            return std::nullopt;
        encloses = encloses || entity.kind == OutlineEntity::Kind::Message;
        const BodyRole role = RoleOf(object);
        const QByteArray section = entity.section.isEmpty() ? QByteArray("1") : entity.section;
        if (plain.isEmpty() && role == BodyRole::Plain)
            plain = section;
        else if (html.isEmpty() && role == BodyRole::Html)
            html = section;
    }

    // Without text of its own, the reader takes that of the first enclosed message.
    if (plain.isEmpty() && html.isEmpty() && encloses)
        return std::nullopt;

    Email email;
    email.Date = fetched.internalDate.isValid() ? fetched.internalDate.toLocalTime() : QDateTime();
    ReadHeaderValues(message.get(), email);
    const std::optional<QString> plainText = partText(fetched, plain);
    const std::optional<QString> htmlText = partText(fetched, html);
    if (!plainText || !htmlText)
        return std::nullopt;
    email.PlainTextBody = *plainText;
    email.HTMLTextBody = *htmlText;
    return email;
}

} // namespace

std::optional<Email> ReadFetchedEmail(const FetchedMessage &fetched, const ReadingPlan &plan)
{
    if (!plan.whole)
        return readParts(fetched, plan);
    if (!fetched.body)
        return std::nullopt;
    return ReadEmail(*fetched.body, fetched.internalDate);
}
