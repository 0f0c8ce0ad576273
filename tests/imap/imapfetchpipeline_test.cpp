#include "imap/fetchpipeline.h"
#include "tests/common/printers.h"

#include <QHash>
#include <gtest/gtest.h>
#include <limits>

// The read-ahead decisions of a sequential run, without a server: which outlines and messages it
// asks for when each message is handed over.
namespace {

struct ScriptedRun {
    FetchPipeline pipeline;
    QList<OutlineFetch> outlines;
    QList<Fetch> messages;
    QHash<int, qint64> sizes;   // of the messages whose outline comes at once; others never come
    qint64 size = 100;          // of all others, when outlines come at once
    bool outlinesCome = true;
    int refusedFrom = std::numeric_limits<int>::max(); // the connection is gone from this number on

    FetchPipeline::Senders senders(QList<int> &sent)
    {
        return {[this](int first, int last) -> std::optional<OutlineFetch> {
                    OutlineFetch fetch{first, last, std::make_shared<SentCommand>(),
                                       std::make_shared<QHash<int, ReadingPlan>>()};
                    fetch.command->untagged = [](const ImapResponse &) { return true; };
                    for (int n = first; n <= last && outlinesCome; ++n)
                        fetch.plans->insert(n, WholeMessage(sizes.value(n, size)));
                    outlines.append(fetch);
                    return fetch;
                },
                [this, &sent](int number, const ReadingPlan &plan) -> std::optional<Fetch> {
                    if (number >= refusedFrom)
                        return std::nullopt;
                    sent.append(number);
                    Fetch fetch{number, std::make_shared<SentCommand>(), std::make_shared<FetchedMessage>(), plan};
                    fetch.command->untagged = [](const ImapResponse &) { return true; };
                    messages.append(fetch);
                    return fetch;
                }};
    }

    // Hands the run's next number over; the messages asked for meanwhile.
    QList<int> handOver(int exists)
    {
        pipeline.advance();
        return topUp(exists);
    }

    QList<int> topUp(int exists)
    {
        QList<int> sent;
        pipeline.topUp(exists, senders(sent));
        return sent;
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
        QHash<int, qint64> sizes;
        int refusedFrom;
        QList<int> sent;
    } cases[] = {
        {"the count bound holds two ahead", 2, 1 << 20, 10, 10, {}, 99, {1, 2, 3}},
        {"a count of 0 reads nothing ahead", 0, 1 << 20, 10, 10, {}, 99, {1}},
        {"nothing past the run's last number", 10, 1 << 20, 3, 10, {}, 99, {1, 2, 3}},
        {"nothing past the mailbox's size", 10, 1 << 20, 10, 2, {}, 99, {1, 2}},
        {"the outlines' sizes fill the byte bound", 10, 350, 10, 10, {}, 99, {1, 2, 3, 4}},
        {"the message handed over goes whatever its size", 10, 350, 10, 10, {{1, 5000}}, 99, {1, 2, 3, 4}},
        {"a large one ahead waits", 10, 350, 10, 10, {{3, 300}}, 99, {1, 2}},
        {"sending stops where the connection is gone", 10, 1 << 20, 10, 10, {}, 3, {1, 2}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ScriptedRun run;
        run.sizes = c.sizes;
        run.refusedFrom = c.refusedFrom;
        run.pipeline.setBounds(c.count, c.bytes);
        run.pipeline.start(1, c.last);
        EXPECT_EQ(run.handOver(c.exists), c.sent);
        ASSERT_NE(run.pipeline.current(), nullptr);
        EXPECT_EQ(run.pipeline.current()->number, 1);
        EXPECT_EQ(run.outlines.isEmpty(), c.count == 0) << "no outlines without reading ahead";
    }
}

TEST(ImapFetchPipeline, OutlinesGoAWindowAtATimeAndEachMessageWaitsForItsOwn)
{
    ScriptedRun run;
    run.outlinesCome = false;
    run.pipeline.setBounds(150, qint64(1) << 30);
    run.pipeline.start(1, 1000);
    EXPECT_TRUE(run.handOver(1000).isEmpty());
    EXPECT_EQ(run.pipeline.current(), nullptr) << "the first message waits for its outline";
    ASSERT_EQ(run.outlines.size(), 1) << "one outline fetch at a time";
    EXPECT_EQ(run.outlines[0].last, FetchPipeline::OutlineWindow);

    run.outlines[0].plans->insert(1, WholeMessage(10));
    run.outlines[0].plans->insert(2, WholeMessage(10));
    EXPECT_EQ(run.topUp(1000), (QList<int>{1, 2}));
    run.outlines[0].command->completion = ImapResponse{};
    run.outlines[0].command->completion->keyword = "OK";
    const QList<int> rest = run.topUp(1000);
    ASSERT_EQ(rest.size(), FetchPipeline::OutlineWindow - 2)
        << "without an outline: read whole, once it cannot come; the next window's wait for theirs";
    EXPECT_EQ(run.messages.last().plan.bytes, 0);
    EXPECT_TRUE(run.messages.last().plan.whole);
    ASSERT_EQ(run.outlines.size(), 2) << "the next window once the last is in, as large as the count";
    EXPECT_EQ(run.outlines[1].first, 1 + FetchPipeline::OutlineWindow);
    EXPECT_EQ(run.outlines[1].last, FetchPipeline::OutlineWindow + 150);
}

TEST(ImapFetchPipeline, AServerThatRefusedOutlinesIsNotAskedAgainInTheRun)
{
    for (const QByteArray keyword : {"OK", "NO"}) {
        SCOPED_TRACE(keyword.constData());
        ScriptedRun run;
        run.outlinesCome = false;
        run.pipeline.setBounds(100, qint64(1) << 30);
        run.pipeline.start(1, 1000);
        for (int n = 1; n <= 2 * FetchPipeline::OutlineWindow; ++n) {
            run.handOver(1000);
            for (const OutlineFetch &outlines : std::as_const(run.outlines)) {
                if (!outlines.command->completion) {
                    outlines.command->completion = ImapResponse{};
                    outlines.command->completion->keyword = keyword;
                }
            }
        }
        EXPECT_EQ(run.outlines.size() > 1, keyword == "OK");
        ASSERT_NE(run.pipeline.current(), nullptr) << "read whole without outlines";
        EXPECT_EQ(run.pipeline.current()->number, 2 * FetchPipeline::OutlineWindow);
    }
}

TEST(ImapFetchPipeline, OnlyTheNextNumberContinuesTheRunAndEndingGivesUpTheFetchesAhead)
{
    ScriptedRun run;
    run.pipeline.setBounds(10, 1 << 20);
    run.pipeline.start(5, 8);
    EXPECT_FALSE(run.pipeline.isNext(1));
    ASSERT_TRUE(run.pipeline.isNext(5));
    EXPECT_EQ(run.handOver(8), (QList<int>{5, 6, 7, 8}));
    EXPECT_TRUE(run.pipeline.isNext(6));
    EXPECT_TRUE(run.handOver(8).isEmpty()) << "6 was sent ahead";
    EXPECT_EQ(run.pipeline.current()->number, 6);

    run.pipeline.end();
    EXPECT_FALSE(run.pipeline.inRun());
    EXPECT_FALSE(run.pipeline.isNext(7));
    for (const Fetch &fetch : std::as_const(run.messages))
        EXPECT_EQ(bool(fetch.command->untagged), fetch.number == 5)
            << fetch.number << ": the answers of those still ahead go to nobody";
    EXPECT_FALSE(run.outlines.first().command->untagged);

    run.pipeline.start(4, 3);
    EXPECT_FALSE(run.pipeline.inRun()) << "an empty range starts no run";
}
