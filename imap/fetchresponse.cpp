#include "imap/fetchresponse.h"

#include "imap/imapvalue.h"
#include "imap/internaldate.h"

namespace {

// The items of "* n FETCH (item value ...)"; nullopt when not well formed.
std::optional<QList<ImapValue>> fetchItems(const ImapResponse &response)
{
    const auto values = ParseResponseValues(response);
    if (!values || values->size() != 4 || values->at(3).kind != ImapValue::Kind::List)
        return std::nullopt;
    if (values->at(3).items.size() % 2 != 0)
        return std::nullopt;
    return values->at(3).items;
}

// "BODY[1.MIME]" -> "1.MIME"; nullopt for any other item.
std::optional<QByteArray> sectionOf(const ImapValue &item)
{
    if (item.kind != ImapValue::Kind::Atom || !item.text.startsWith("BODY[") || !item.text.endsWith(']'))
        return std::nullopt;
    return item.text.sliced(5, item.text.size() - 6);
}

} // namespace

qint64 FetchedMessage::bytes() const
{
    qint64 total = body ? body->size() : 0;
    for (const QByteArray &section : sections)
        total += section.size();
    return total;
}

ImapCommand FetchMessageCommand(int number, bool byUid, const ReadingPlan &plan)
{
    ImapCommand command = byUid ? ImapCommand("UID").atom("FETCH") : ImapCommand("FETCH");
    command.atom(QByteArray::number(number)).atom(plan.items());
    return command;
}

ImapCommand FetchOutlinesCommand(int first, int last)
{
    return ImapCommand("FETCH").atom(QByteArray::number(first) + ':' + QByteArray::number(last))
        .atom("(RFC822.SIZE BODYSTRUCTURE)");
}

bool ReadFetchResponse(const ImapResponse &response, int number, bool byUid, FetchedMessage &into)
{
    if (response.keyword != "FETCH")
        return true;
    const auto items = fetchItems(response);
    if (!items)
        return false;
    bool matches = !byUid && response.number == number;
    FetchedMessage got;
    for (qsizetype i = 0; i < items->size(); i += 2) {
        const ImapValue &value = items->at(i + 1);
        const std::optional<QByteArray> section = sectionOf(items->at(i));
        if (section && value.kind == ImapValue::Kind::String) {
            if (section->isEmpty())
                got.body = value.text;
            else
                got.sections.insert(*section, value.text);
        } else if (items->at(i).isAtom("INTERNALDATE") && value.isText()) {
            got.internalDate = ParseInternalDate(value.text);
        } else if (byUid && items->at(i).isAtom("UID") && value.isText() && value.text.toLongLong() == number) {
            matches = true;
        }
    }
    // Other numbers (unsolicited flag updates and the like) are not what was asked for. A server
    // may hand the items over in more than one answer.
    if (matches && got.arrived()) {
        if (got.body)
            into.body = std::move(got.body);
        into.sections.insert(got.sections);
        if (got.internalDate.isValid() || !into.internalDate.isValid())
            into.internalDate = got.internalDate;
    }
    return true;
}

bool ReadOutlineResponse(const ImapResponse &response, int first, int last, QHash<int, ReadingPlan> &into)
{
    if (response.keyword != "FETCH" || response.number < first || response.number > last)
        return true;
    const auto items = fetchItems(response);
    if (!items)
        return false;
    const ImapValue *structure = nullptr;
    qint64 size = -1;
    for (qsizetype i = 0; i < items->size(); i += 2) {
        if (items->at(i).isAtom("BODYSTRUCTURE"))
            structure = &items->at(i + 1);
        else if (items->at(i).isAtom("RFC822.SIZE") && items->at(i + 1).isText())
            size = ImapNumber(items->at(i + 1).text);
    }
    if (structure && size >= 0)
        into.insert(int(response.number), PlanReading(*structure, size));
    return true;
}

std::optional<int> FetchPercent(const ResponseReader &reader, int number, bool byUid, qint64 expected)
{
    const QByteArray partial = reader.partialFirstLine();
    const bool ours =
        byUid ? partial.contains(" FETCH ") : partial.startsWith("* " + QByteArray::number(number) + " FETCH");
    if (!ours)
        return std::nullopt;
    if (expected > 0)
        return int(qMin<qint64>(100, reader.receivedBytes() * 100 / expected));
    const qint64 size = reader.literalSize();
    return size > 0 ? std::optional<int>(int(reader.literalReceived() * 100 / size)) : std::nullopt;
}
