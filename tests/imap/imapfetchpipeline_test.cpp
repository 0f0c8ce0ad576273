#include "imap/fetchpipeline.h"
#include "tests/common/printers.h"

#include <QHash>
#include <gtest/gtest.h>
#include <limits>

// The read-ahead decisions of a sequential run, without a server: which numbers it sends when
// each message is handed over.
namespace {

struct ScriptedRun {
    FetchPipeline pipeline;
    QList<Fetch> sentAhead;
    int refusedFrom = std::numeric_limits<int>::max(); // the connection is gone from this number on

    // Hands the run's next number over; the numbers sent meanwhile.
    QList<int> advance(int exists)
    {
        QList<int> sent;
        const auto fetch = pipeline.advance(exists, [&](int number) -> std::optional<Fetch> {
            if (number >= refusedFrom)
                return std::nullopt;
            sent.append(number);
            Fetch fetch{number, std::make_shared<SentCommand>(), std::make_shared<FetchedMessage>()};
            fetch.command->untagged = [](const ImapResponse &) { return true; };
            sentAhead.append(fetch);
            return fetch;
        });
        return sent;
    }

    void arrive(int number, qint64 size)
    {
        for (const Fetch &fetch : std::as_const(sentAhead))
            if (fetch.number == number)
                fetch.message->body = QByteArray(size, 'x');
    }
};

} // namespace

TEST(ImapFetchPipeline, SendsAheadWithinTheRunTheMailboxAndTheBounds)
{
    const struct {
        const char *name;
        int count;
        qint64 bytes;
        int last;
        int exists;
        QList<qint64> handedOver;   // sizes of the messages handed over before the last advance
        QHash<int, qint64> arrived; // messages already in, sent ahead, before the last advance
        int refusedFrom;
        QList<int> sentByLast;
    } cases[] = {
        {"the count bound holds two ahead", 2, 1 << 20, 10, 10, {}, {}, 99, {1, 2, 3}},
        {"a count of 0 reads nothing ahead", 0, 1 << 20, 10, 10, {}, {}, 99, {1}},
        {"nothing past the run's last number", 10, 1 << 20, 3, 10, {}, {}, 99, {1, 2, 3}},
        {"nothing past the mailbox's size", 10, 1 << 20, 10, 2, {}, {}, 99, {1, 2}},
        {"before any message the guess is over the bound", 10, (64 << 10) - 1, 10, 10, {}, {}, 99, {1}},
        {"then the average of those handed over counts", 10, 1000, 20, 20, {250}, {}, 99, {2, 3, 4, 5, 6}},
        {"a large message in counts at its size", 10, 1000, 99, 99, {100, 100}, {{4, 600}}, 99, {}},
        {"a small one frees room", 10, 1000, 99, 99, {100, 100}, {{4, 50}}, 99, {13}},
        {"sending stops where the connection is gone", 10, 1 << 20, 10, 10, {}, {}, 3, {1, 2}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedRun run;
        run.refusedFrom = c.refusedFrom;
        run.pipeline.setBounds(c.count, c.bytes);
        run.pipeline.start(1, c.last);
        QList<int> sent = run.advance(c.exists);
        for (qint64 size : c.handedOver) {
            run.pipeline.delivered(size);
            for (auto it = c.arrived.begin(); it != c.arrived.end(); ++it)
                run.arrive(it.key(), it.value());
            sent = run.advance(c.exists);
        }
        EXPECT_EQ(sent, c.sentByLast);
    }
}

TEST(ImapFetchPipeline, OnlyTheNextNumberContinuesTheRunAndEndingGivesUpTheFetchesAhead)
{
    ScriptedRun run;
    run.pipeline.setBounds(10, 1 << 20);
    run.pipeline.start(5, 8);
    EXPECT_FALSE(run.pipeline.isNext(1));
    ASSERT_TRUE(run.pipeline.isNext(5));
    EXPECT_EQ(run.advance(8), (QList<int>{5, 6, 7, 8}));
    EXPECT_TRUE(run.pipeline.isNext(6));
    EXPECT_TRUE(run.advance(8).isEmpty()) << "6 was sent ahead";

    run.pipeline.end();
    EXPECT_FALSE(run.pipeline.inRun());
    EXPECT_FALSE(run.pipeline.isNext(7));
    for (const Fetch &fetch : std::as_const(run.sentAhead))
        EXPECT_EQ(bool(fetch.command->untagged), fetch.number == 5 || fetch.number == 6)
            << fetch.number << ": the answers of those still ahead go to nobody";

    run.pipeline.start(4, 3);
    EXPECT_FALSE(run.pipeline.inRun()) << "an empty range starts no run";
}
