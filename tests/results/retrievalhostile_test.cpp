#include "support/pointer.h"
#include "support/textprogressbar.h"

#include "tests/common/fakeimapserver.h"
#include "tests/common/scriptedmessages.h"
#include "tests/common/testcertificates.h"
#include "tests/results/fakemailbox.h"
#include "tests/results/resultsharness.h"

#include <QTimer>
#include <gtest/gtest.h>

// A run against a server that misbehaves at one message: the window stays alive, the run ends
// as a finished one, and no row appears for a message that was not read.
namespace {

const QString Done = QStringLiteral("Done.");

QByteArray Numbered(int n)
{
    return TestMessage(QStringLiteral("Sender %1").arg(n), QStringLiteral("s%1@x.example").arg(n),
                       QStringLiteral("message %1").arg(n), QStringLiteral("body %1").arg(n));
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
// `fetches` as its answers after the sign-in and the select.
struct HostileRun {
    HostileRun(int exists, const QString &fetches)
        : server(QStringList{FakeSignIn() + FakeListInbox() + FakeSelect(exists), FakeSignIn() + FakeSelect(exists) + fetches}),
          environment(server)
    {
        h.component.setTimeoutMs(1000);
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

    void expectAtRest() const
    {
        EXPECT_EQ(boxes.messages(), QStringList{Done}) << "the run ended as a finished one";
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

} // namespace

TEST(RetrievalHostileServerTest, ByeInTheMiddleOfARunEndsIt)
{
    HostileRun run(5, FakeFetchAnswer(1, Numbered(1)) + FakeFetchAnswer(2, Numbered(2))
                          + QStringLiteral("C: * FETCH 3 *\nS: * BYE Server shutting down\nCLOSE\n"));
    EXPECT_GT(run.getAll(), 0);
    EXPECT_EQ(run.h.listedIds, (QList<qint32>{1, 2}));
    EXPECT_EQ(run.h.column(3), (QStringList{"message 1", "message 2"}));
    EXPECT_EQ(run.h.Label1->text(), QStringLiteral("Total Number Of Emails: 2"));
    EXPECT_EQ(run.server.connectionCount(), 2) << "the run does not sign in again for the rest";
    EXPECT_FALSE(run.h.component.isConnected());
    run.expectAtRest();
}

TEST(RetrievalHostileServerTest, BrokenAnswerToOneMessageLeavesNoRowForIt)
{
    const QByteArray second = Numbered(2);
    // About 3 s at a byte every 5 ms, against a limit of 1 s for the whole answer.
    const QByteArray slow = TestMessage(QStringLiteral("Slow"), QStringLiteral("slow@x.example"),
                                        QStringLiteral("message 2"), QString(400, u's'));
    const QString literalStart = QStringLiteral("RAW * 2 FETCH (BODY[] {%1}\\r\\n%2\n")
                                     .arg(second.size())
                                     .arg(FakeImapServer::escaped(second.left(second.size() / 2)));
    const struct {
        const char *name;
        QString answer; // to the FETCH of message 2
        QList<qint32> listed;
    } cases[] = {
        {"connection reset mid-literal", literalStart + u"SLEEP 100\nRESET\n"_qs, {1}},
        {"absurd literal", u"S: * 2 FETCH (BODY[] {99999999999999}\nSTALL\n"_qs, {1}},
        {"line that never ends", u"RAW * 2 FETCH (FLAGS (\nREPEAT * \\\\Seen \n"_qs, {1}},
        {"slow drip", u"DRIP 5 * 2 FETCH (BODY[] {%1}\\r\\n%2)\\r\\n$TAG OK Fetch completed\\r\\n\n"_qs.arg(slow.size()).arg(
                          FakeImapServer::escaped(slow)),
         {1}},
        {"unknown tag", u"S: A77 OK Fetch completed\n"_qs, {1}},
        // The connection stays: message 3 is read after the answer that brought no message 2.
        {"another number's message",
         u"RAW * 3 FETCH (BODY[] {%1}\\r\\n%2)\\r\\n\nS: $TAG OK Fetch completed\n"_qs.arg(Numbered(3).size()).arg(
             FakeImapServer::escaped(Numbered(3)))
             + FakeFetchAnswer(3, Numbered(3)),
         {1, 3}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        HostileRun run(3, FakeFetchAnswer(1, Numbered(1)) + QStringLiteral("C: * FETCH 2 *\n") + c.answer);
        EXPECT_GT(run.getAll(), 0);
        EXPECT_EQ(run.h.listedIds, c.listed);
        EXPECT_EQ(run.h.list->rowCount(), c.listed.size());
        EXPECT_FALSE(run.h.column(3).contains(QStringLiteral("message 2")));
        run.expectAtRest();
    }
}
