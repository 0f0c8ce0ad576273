#include "imap/bodystructure.h"

namespace {

// More than real mail holds: a message beyond it is read whole.
constexpr int MaxEntities = 100;
// The reader looks no deeper into nested multiparts.
constexpr int MaxDepth = 64;
// The MIME header that comes with each part: the answer's size is guessed with it.
constexpr qint64 HeaderGuess = 512;

const ImapValue *parameter(const ImapValue &params, const char *name)
{
    if (params.kind != ImapValue::Kind::List)
        return nullptr;
    for (qsizetype i = 0; i + 1 < params.items.size(); i += 2)
        if (params.items[i].isText() && params.items[i].text.compare(name, Qt::CaseInsensitive) == 0)
            return &params.items[i + 1];
    return nullptr;
}

bool isText(const ImapValue &value, const char *text)
{
    return value.isText() && value.text.compare(text, Qt::CaseInsensitive) == 0;
}

// Walks the outline as the reader walks a parsed message, choosing the first plain and the first
// HTML body that is not an attachment.
class Planner {
public:
    ReadingPlan plan;
    qint64 chosenBytes = 0;
    bool skipsAny = false;
    bool encloses = false;
    bool readable = true;

    void walk(const ImapValue &body, const QByteArray &section, int depth)
    {
        if (!readable || body.kind != ImapValue::Kind::List || body.items.isEmpty() || depth > MaxDepth
            || plan.entities.size() >= MaxEntities) {
            readable = false;
            return;
        }
        const QList<ImapValue> &items = body.items;
        if (items.first().kind == ImapValue::Kind::List)
            return multipart(items, section, depth);
        if (items.size() < 7 || !items[0].isText() || !items[1].isText()) {
            readable = false;
            return;
        }
        const bool message = isText(items[0], "message") && items.size() >= 10
                             && items[7].kind == ImapValue::Kind::List && items[8].kind == ImapValue::Kind::List;
        plan.entities.append({section, message ? OutlineEntity::Kind::Message : OutlineEntity::Kind::Leaf, {}});
        if (message) {
            encloses = skipsAny = true;
            return;
        }
        leaf(items, section);
    }

private:
    void multipart(const QList<ImapValue> &items, const QByteArray &section, int depth)
    {
        qsizetype children = 0;
        while (children < items.size() && items[children].kind == ImapValue::Kind::List)
            ++children;
        const ImapValue *boundary =
            children + 1 < items.size() ? parameter(items[children + 1], "boundary") : nullptr;
        if (!boundary || !boundary->isText()) {
            readable = false;
            return;
        }
        plan.entities.append({section, OutlineEntity::Kind::Multipart, boundary->text});
        const QByteArray prefix = section.isEmpty() ? QByteArray() : section + '.';
        for (qsizetype i = 0; i < children; ++i)
            walk(items[i], prefix + QByteArray::number(i + 1), depth + 1);
    }

    void leaf(const QList<ImapValue> &items, const QByteArray &section)
    {
        // The disposition follows the MD5, after the line count of text parts.
        const qsizetype dispositionAt = isText(items[0], "text") ? 9 : 8;
        const ImapValue *disposition = items.size() > dispositionAt ? &items[dispositionAt] : nullptr;
        const bool attachment = disposition && disposition->kind == ImapValue::Kind::List
                                && !disposition->items.isEmpty() && isText(disposition->items[0], "attachment");
        // A Content-Type the server cannot read is text/plain to it, or empty.
        const bool plain = isText(items[1], "plain") ? isText(items[0], "text")
                                                      : items[0].text.isEmpty() && items[1].text.isEmpty();
        const bool html = isText(items[0], "text") && isText(items[1], "html");
        const QByteArray name = section.isEmpty() ? QByteArray("1") : section;
        if (!attachment && plain && plan.plain.isEmpty()) {
            plan.plain = name;
        } else if (!attachment && html && plan.html.isEmpty()) {
            plan.html = name;
        } else {
            skipsAny = true;
            return;
        }
        chosenBytes += items[6].text.toLongLong();
    }
};

} // namespace

QByteArray ReadingPlan::items() const
{
    if (whole)
        return "(BODY.PEEK[] INTERNALDATE)";
    QByteArray items = "(INTERNALDATE BODY.PEEK[HEADER]";
    for (const OutlineEntity &entity : entities)
        if (!entity.section.isEmpty())
            items += " BODY.PEEK[" + entity.section + ".MIME]";
    for (const QByteArray &section : {plain, html})
        if (!section.isEmpty())
            items += " BODY.PEEK[" + section + "]";
    return items + ')';
}

ReadingPlan PlanReading(const ImapValue &bodystructure, qint64 size)
{
    Planner planner;
    planner.walk(bodystructure, QByteArray(), 0);
    ReadingPlan &plan = planner.plan;
    const bool ownText = !plan.plain.isEmpty() || !plan.html.isEmpty();
    // A message that is one body is that body: nothing to leave out when it is the text.
    const bool single = plan.entities.size() == 1 && plan.entities.first().kind == OutlineEntity::Kind::Leaf;
    if (!planner.readable || !planner.skipsAny || (planner.encloses && !ownText) || (single && ownText))
        return WholeMessage(size);
    plan.whole = false;
    plan.bytes = planner.chosenBytes + HeaderGuess * (plan.entities.size() + 1);
    return plan;
}

ReadingPlan WholeMessage(qint64 size)
{
    ReadingPlan plan;
    plan.bytes = size;
    return plan;
}
