#include "mail/errorlog.h"
#include "support/pointer.h"
#include "support/textprogressbar.h"

#include "devserver/testcertificates.h"
#include "tests/common/fakeimapserver.h"
#include "tests/common/fakemailbox.h"
#include "tests/common/printers.h"
#include "tests/common/processmemory.h"
#include "tests/common/resultsharness.h"
#include "tests/common/scriptedmessages.h"

#include <QTimer>
#include <gtest/gtest.h>
#include <limits>

// A run against a server that misbehaves at one message: the window stays alive, the run ends
// as a finished one, and no row appears for a message that was not read.
namespace {

const QString Done = QStringLiteral("Done.");

QByteArray numbered(int n)
{
    return TestMessage(QStringLiteral("Sender %1").arg(n), QStringLiteral("s%1@x.example").arg(n),
                       QStringLiteral("message %1").arg(n), QStringLiteral("body %1").arg(n));
}

// The outlines the run asks for when it starts, or goes on, at `from`.
QString outlinesFrom(int from, int exists)
{
    QList<QByteArray> messages;
    for (int n = from; n <= exists; ++n)
        messages.append(numbered(n));
    return FakeOutlines(from, messages);
}

// Points the retrieval commands at the scripted server; the environment is put back afterwards.
class ServerEnvironment {
public:
    explicit ServerEnvironment(const FakeImapServer &server)
    {
        set("QUORVANE_IMAP_HOST", server.host().toUtf8());
        set("QUORVANE_IMAP_PORT", QByteArray::number(server.port()));
        set("QUORVANE_CA_FILE", TestCertificates::instance().caFile().toUtf8());
    }
    ~ServerEnvironment()
    {
        for (const auto &[name, value] : m_saved) {
            if (value.isNull())
                qunsetenv(name);
            else
                qputenv(name, value);
        }
    }

private:
    void set(const char *name, const QByteArray &value)
    {
        m_saved.append({name, qEnvironmentVariableIsSet(name) ? qgetenv(name) : QByteArray()});
        qputenv(name, value);
    }
    QList<std::pair<const char *, QByteArray>> m_saved;
};

// Connection 1 is the connect command's and the count's; connection 2 is the run's, with
// `fetches` as its answers after the sign-in and the select; later ones take the run up again.
struct HostileRun {
    HostileRun(int exists, const QStringList &fetches) : server(scripts(exists, fetches)), environment(server)
    {
        h.component.setTimeoutMs(1000);
        h.component.setReconnectPauseMs(50);
    }

    static QStringList scripts(int exists, const QStringList &fetches)
    {
        QStringList all{FakeSignIn() + FakeListInbox() + FakeSelect(exists)};
        for (const QString &script : fetches)
            all.append(FakeSignIn() + FakeSelect(exists) + script);
        return all;
    }

    // Clicks Get All and counts the event loop's turns meanwhile.
    int getAll()
    {
        if (!h.connectTo(server.host(), server.port(), QStringLiteral("ann"), QStringLiteral("pw"), QStringLiteral("INBOX"))) {
            ADD_FAILURE() << "sign-in failed: " << server.mismatch().toStdString();
            return 0;
        }
        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, &ticker, [&] { ++ticks; });
        ticker.start(0);
        h.clickGetAll();
        return ticks;
    }

    void expectAtRest(const QString &done = Done) const
    {
        EXPECT_EQ(boxes.messages(), QStringList{done}) << "the run ended as a finished one";
        EXPECT_TRUE(boxes.errorReports().isEmpty()) << boxes.errorReports().value(0).toStdString();
        EXPECT_EQ(h.PushButton3->text(), QStringLiteral("2a. Get All Emails"));
        EXPECT_FALSE(h.PushButton2->isHidden());
        EXPECT_FALSE(IsBusy(&h.window));
        EXPECT_EQ(h.ProgressBar1->text(), QStringLiteral("Progress Bar"));
        EXPECT_FALSE(h.retrieval->isRunning());
    }

    FakeImapServer server;
    ServerEnvironment environment;
    ScriptedMessages boxes;
    ResultsHarness h;
};

QString unread(int unread, int asked)
{
    return u"Done.\r\n\r\n%1 of %2 messages could not be read. The error log tells why: %3"_qs.arg(unread).arg(asked).arg(
        ErrorLogPath());
}

} // namespace

TEST(RetrievalHostileServerTest, ByeInTheMiddleOfARunIsTakenUpOnANewConnection)
{
    HostileRun run(5, {outlinesFrom(1, 5) + FakeFetchAnswer(1, numbered(1)) + FakeFetchAnswer(2, numbered(2))
                           + QStringLiteral("C: * FETCH 3 *\nS: * BYE Server shutting down\nCLOSE\n"),
                       outlinesFrom(3, 5) + FakeFetchAnswer(3, numbered(3)) + FakeFetchAnswer(4, numbered(4)) + FakeFetchAnswer(5, numbered(5))});
    EXPECT_GT(run.getAll(), 0);
    EXPECT_EQ(run.h.listedIds, (QList<qint32>{1, 2, 3, 4, 5}));
    EXPECT_EQ(run.h.Label1->text(), QStringLiteral("Total Number Of Emails: 5"));
    EXPECT_EQ(run.server.connectionCount(), 3);
    run.expectAtRest();
}

TEST(RetrievalHostileServerTest, AServerThatDropsEveryNewConnectionEndsTheRunWithWhatWasNotRead)
{
    // Each connection after the run's first is dropped right after its select.
    HostileRun run(5, {outlinesFrom(1, 5) + FakeFetchAnswer(1, numbered(1)) + FakeFetchAnswer(2, numbered(2))
                           + QStringLiteral("C: * FETCH 3 *\nS: * BYE Server shutting down\nCLOSE\n"),
                       QStringLiteral("CLOSE\n")});
    std::shared_ptr<clsChilkatIMAP> session;
    run.h.afterListing = [&](qint32) { session = run.h.oChilkat->get(); };
    EXPECT_GT(run.getAll(), 0);
    EXPECT_EQ(run.h.listedIds, (QList<qint32>{1, 2}));
    EXPECT_EQ(run.server.connectionCount(), 2 + 3) << "three tries to sign in again";
    ASSERT_TRUE(session);
    EXPECT_EQ(session->CurrentLocation(), 4) << "3 given up, 4 tried on the last try, nothing more";
    run.expectAtRest(unread(3, 5));
}

TEST(RetrievalHostileServerTest, AMessageThatCannotBeReadIsSkippedAndCounted)
{
    const QByteArray second = numbered(2);
    // About 3 s at a byte every 5 ms, against a limit of 1 s of silence.
    const QByteArray slow = TestMessage(QStringLiteral("Slow"), QStringLiteral("slow@x.example"),
                                        QStringLiteral("message 2"), QString(400, u's'));
    const QString literalStart = QStringLiteral("RAW * 2 FETCH (BODY[] {%1}\\r\\n%2\n")
                                     .arg(second.size())
                                     .arg(FakeImapServer::escaped(second.left(second.size() / 2)));
    const QString third = outlinesFrom(3, 3) + FakeFetchAnswer(3, numbered(3));
    const struct {
        const char *name;
        QString answer; // to every FETCH of message 2
        bool breaks;    // the answer costs the connection: the run goes on on a new one
        QList<qint32> listed;
    } cases[] = {
        {"connection reset mid-literal", literalStart + u"SLEEP 100\nRESET\n"_qs, true, {1, 3}},
        {"absurd literal", u"S: * 2 FETCH (BODY[] {99999999999999}\nSTALL\n"_qs, true, {1, 3}},
        {"line that never ends", u"RAW * 2 FETCH (FLAGS (\nREPEAT * \\\\Seen \n"_qs, true, {1, 3}},
        {"unknown tag", u"S: A77 OK Fetch completed\n"_qs, true, {1, 3}},
        {"another number's message",
         u"RAW * 3 FETCH (BODY[] {%1}\\r\\n%2)\\r\\n\nS: $TAG OK Fetch completed\n"_qs.arg(numbered(3).size()).arg(
             FakeImapServer::escaped(numbered(3))),
         false, {1, 3}},
        // Never silent for 1 s: read whole.
        {"slow drip", u"DRIP 5 * 2 FETCH (BODY[] {%1}\\r\\n%2)\\r\\n$TAG OK Fetch completed\\r\\n\n"_qs.arg(slow.size()).arg(
                          FakeImapServer::escaped(slow)),
         false, {1, 2, 3}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const QString fetch2 = QStringLiteral("C: * FETCH 2 *\n") + c.answer;
        const QString first = outlinesFrom(1, 3) + FakeFetchAnswer(1, numbered(1)) + fetch2;
        HostileRun run(3, c.breaks ? QStringList{first, outlinesFrom(2, 3) + fetch2, third}
                                   : QStringList{first + FakeFetchAnswer(3, numbered(3))});
        EXPECT_GT(run.getAll(), 0);
        EXPECT_EQ(run.h.listedIds, c.listed);
        EXPECT_EQ(run.h.list->rowCount(), c.listed.size());
        EXPECT_EQ(run.server.connectionCount(), c.breaks ? 4 : 2);
        run.expectAtRest(c.listed.size() == 3 ? Done : unread(1, 3));
    }
}

// The announced count is only the server's word: the store takes room for the messages read,
// the window stays alive and Stop ends the run.
TEST(RetrievalHostileServerTest, AnnouncedCountTakesNoMemory)
{
    for (const qint32 announced : {10'000'000, std::numeric_limits<qint32>::max()}) {
        SCOPED_TRACE(announced);
        // Outlines refused, whatever numbers they asked for: each message is read whole.
        HostileRun run(announced, {u"C: * (RFC822.SIZE BODYSTRUCTURE)\nS: $TAG NO Not now\n"_qs
                                   + FakeFetchAnswer(1, numbered(1)) + FakeFetchAnswer(2, numbered(2))});
        run.h.afterListing = [&](qint32 uID) {
            if (uID == 2)
                run.h.clickGetAll(); // the button shows "Stop"
        };
        const qint64 before = ResidentKb();
        EXPECT_GT(run.getAll(), 0) << "the event loop never turned during the run";
        EXPECT_LT(ResidentKb() - before, 64 * 1024) << "kilobytes more after the run";
        EXPECT_EQ(run.h.mailStore.size(), announced);
        EXPECT_EQ(run.h.mailStore.record(2).Subject, QStringLiteral("message 2"));
        EXPECT_TRUE(run.h.mailStore.record(announced).Subject.isEmpty());
        EXPECT_EQ(run.h.column(3), (QStringList{"message 1", "message 2"}));
        run.expectAtRest();
    }
}
