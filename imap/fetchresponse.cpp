#include "imap/fetchresponse.h"

#include "imap/imapvalue.h"
#include "imap/internaldate.h"

ImapCommand FetchMessageCommand(int number, bool byUid)
{
    ImapCommand command = byUid ? ImapCommand("UID").atom("FETCH") : ImapCommand("FETCH");
    command.atom(QByteArray::number(number)).atom("(BODY.PEEK[] INTERNALDATE)");
    return command;
}

bool ReadFetchResponse(const ImapResponse &response, int number, bool byUid, FetchedMessage &into)
{
    // * n FETCH (item value ...)
    if (response.keyword != "FETCH")
        return true;
    const auto values = ParseResponseValues(response);
    if (!values || values->size() != 4 || values->at(3).kind != ImapValue::Kind::List)
        return false;
    const QList<ImapValue> &items = values->at(3).items;
    if (items.size() % 2 != 0)
        return false;
    bool matches = !byUid && response.number == number;
    std::optional<QByteArray> body;
    QDateTime date;
    for (qsizetype i = 0; i < items.size(); i += 2) {
        const ImapValue &value = items[i + 1];
        if (items[i].isAtom("BODY[]") && value.kind == ImapValue::Kind::String)
            body = value.text;
        else if (items[i].isAtom("INTERNALDATE") && value.isText())
            date = ParseInternalDate(value.text);
        else if (byUid && items[i].isAtom("UID") && value.isText() && value.text.toLongLong() == number)
            matches = true;
    }
    // Other numbers (unsolicited flag updates and the like) are not what was asked for.
    if (matches && body) {
        into.body = std::move(body);
        into.internalDate = date;
    }
    return true;
}

std::optional<int> FetchPercent(const ResponseReader &reader, int number, bool byUid)
{
    const QByteArray partial = reader.partialFirstLine();
    const qint64 size = reader.literalSize();
    const bool ours =
        byUid ? partial.contains(" FETCH ") : partial.startsWith("* " + QByteArray::number(number) + " FETCH");
    if (!ours || size <= 0)
        return std::nullopt;
    return int(reader.literalReceived() * 100 / size);
}
