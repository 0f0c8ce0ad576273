#include "imap/imapclient_p.h"

#include "imap/partsreader.h"

#include <utility>

// Fetching one message: within a sequential run through its read-ahead, otherwise on its own.

// nullopt when there is no connection to send on.
std::optional<Fetch> ImapClient::Private::sendFetch(int call, int number, bool byUid, const ReadingPlan &plan)
{
    Fetch fetch{number, connection.prepare(call, FetchMessageCommand(number, byUid, plan)),
                std::make_shared<FetchedMessage>(), plan};
    if (!connection.isReady())
        return std::nullopt;
    fetch.command->fetchFirst = fetch.command->fetchLast = byUid ? 0 : number;
    fetch.command->untagged = [number, byUid, message = fetch.message](const ImapResponse &r) {
        return ReadFetchResponse(r, number, byUid, *message);
    };
    connection.send(fetch.command);
    return fetch;
}

std::optional<OutlineFetch> ImapClient::Private::sendOutlines(int call, int first, int last)
{
    OutlineFetch outlines{first, last, connection.prepare(call, FetchOutlinesCommand(first, last)),
                          std::make_shared<QHash<int, ReadingPlan>>()};
    if (!connection.isReady())
        return std::nullopt;
    outlines.command->fetchFirst = first;
    outlines.command->fetchLast = last;
    outlines.command->untagged = [first, last, plans = outlines.plans](const ImapResponse &r) {
        return ReadOutlineResponse(r, first, last, *plans);
    };
    connection.send(outlines.command);
    return outlines;
}

void ImapClient::Private::topUp(int call)
{
    pipeline.topUp(connection.exists(), {[this, call](int first, int last) { return sendOutlines(call, first, last); },
                                         [this, call](int number, const ReadingPlan &plan) {
                                             return sendFetch(call, number, false, plan);
                                         }});
}

// A failure that closes the connection notes the count it knew, to compare a new one with.
FetchOutcome ImapClient::Private::fetchFailed(const QString &shown, Wait w)
{
    if (w == Wait::Aborted)
        pipeline.end(); // nothing read ahead is handed over after a Stop
    const int exists = connection.exists();
    fail(shown, waitFailure(w));
    const bool lost = !connection.hasSocket();
    if (lost)
        record.exists = exists;
    return FetchOutcome{nullptr, lost};
}

FetchOutcome ImapClient::Private::fetch(int call, int number, bool byUid)
{
    const QString unsent = QStringLiteral("FETCH %1").arg(number);
    std::optional<Fetch> fetch;
    if (!byUid && pipeline.isNext(number)) {
        // Sent ahead, or sent once its outline is in; the next messages go out meanwhile.
        pipeline.advance();
        topUp(call);
        if (const Wait w = wait(call, [this] { return pipeline.current() != nullptr; }, [&] { topUp(call); });
            w != Wait::Done)
            return fetchFailed(unsent, w);
        fetch = *pipeline.current();
    } else {
        pipeline.end();
        if (const Wait w = waitUntilIdle(call); w != Wait::Done)
            return fetchFailed(unsent, w);
        fetch = sendFetch(call, number, byUid, WholeMessage());
    }
    if (!fetch)
        return fetchFailed(unsent, Wait::Lost);
    return receive(call, *fetch, byUid);
}

FetchOutcome ImapClient::Private::receive(int call, const Fetch &fetch, bool byUid)
{
    int lastPercent = -1;
    auto report = [&](int percent) {
        if (std::exchange(lastPercent, percent) != percent)
            Q_EMIT q->percentDone(percent);
    };
    auto onTick = [&] {
        report(FetchPercent(connection.reader(), fetch.number, byUid, fetch.plan.bytes).value_or(qMax(lastPercent, 0)));
        if (pipeline.inRun())
            topUp(call);
    };
    const std::shared_ptr<SentCommand> command = fetch.command;
    const Wait w = wait(call, [&] { return command->completion.has_value(); }, onTick);
    if (w != Wait::Done) {
        command->untagged = nullptr;
        return fetchFailed(command->shown, w);
    }
    lastError = LastErrorText(command->shown, QString::fromUtf8(command->completion->raw()));
    failure = ImapFailure::Refused;
    const bool answered = command->completion->keyword == "OK";
    if (fetch.plan.whole && !answered)
        return {};
    if (fetch.plan.whole && !fetch.message->arrived()) {
        lastError += QStringLiteral("\r\nThe server sent no message for number %1.").arg(fetch.number);
        return {};
    }
    std::optional<Email> email = answered ? ReadFetchedEmail(*fetch.message, fetch.plan) : std::nullopt;
    if (!email) {
        // The parts were refused, or do not show what the whole message would: it is fetched whole.
        const std::optional<Fetch> whole = sendFetch(call, fetch.number, byUid, WholeMessage());
        return whole ? receive(call, *whole, byUid) : fetchFailed(command->shown, Wait::Lost);
    }
    failure = ImapFailure::None;
    report(100);
    return {std::make_unique<Email>(std::move(*email)), false};
}
