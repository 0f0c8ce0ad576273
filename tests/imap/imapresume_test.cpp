#include "devserver/testcertificates.h"
#include "imap/imapclient.h"
#include "tests/common/fakeimapserver.h"
#include "tests/common/fakemailbox.h"
#include "tests/common/printers.h"

#include <QElapsedTimer>
#include <QSslCertificate>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

// A sequential run whose connection is lost: the client signs in again as before, selects the
// mailbox again and goes on at the first number not handed over.
namespace {

QByteArray numbered(int n)
{
    return QStringLiteral("From: s%1@x.example\r\nSubject: message %1\r\n\r\nbody %1\r\n").arg(n).toUtf8();
}

QString signedIn(int exists, int uidValidity = 7)
{
    return FakeSignIn() + FakeSelect(exists).replace(u"S: $TAG"_qs, u"S: * OK [UIDVALIDITY %1] UIDs valid\nS: $TAG"_qs.arg(uidValidity));
}

// Signed in and in the mailbox, the run of 1..5 at `from`: the outlines of the rest are asked for first.
QString runFrom(int from)
{
    QList<QByteArray> rest;
    for (int n = from; n <= 5; ++n)
        rest.append(numbered(n));
    return signedIn(5) + FakeOutlines(from, rest);
}

QString answers(int from, int to)
{
    QString script;
    for (int n = from; n <= to; ++n)
        script += FakeFetchAnswer(n, numbered(n));
    return script;
}

const QString ByeAt3 = u"C: * FETCH 3 *\nS: * BYE Server shutting down\nCLOSE\n"_qs;
const QString LoginRefused = u"S: * OK ready\nC: * ID *\nS: $TAG OK ID completed\nC: * LOGIN *\nS: $TAG NO [UNAVAILABLE] Try later\n"_qs;

// Signs in as the mail session does, selects INBOX and reads 1..5 one after the other until the
// client gives the run up.
struct ResumingRun {
    explicit ResumingRun(const QStringList &scripts, int pauseMs = 50) : server(scripts)
    {
        client.setSsl(true);
        client.setPort(server.port());
        client.setExtraCaCertificates(QSslCertificate::fromPath(TestCertificates::instance().caFile()));
        client.setTimeoutMs(1000);
        client.setReconnectPauseMs(pauseMs);
    }

    void readAll()
    {
        ASSERT_EQ(client.connect(server.host()), 1) << client.lastErrorText().toStdString();
        ASSERT_FALSE(client.sendRawCommand(u"ID (\"GUID\" \"1\")"_qs).isEmpty());
        ASSERT_EQ(client.login(u"ann"_qs, u"pw"_qs), 1);
        ASSERT_EQ(client.selectMailbox(u"INBOX"_qs), 1);
        client.expectSequentialFetches(1, 5);
        for (int n = 1; n <= 5; ++n) {
            const auto email = client.fetchSingle(n, false);
            texts.append(client.lastErrorText());
            if (email)
                read.append(email->Subject);
            else if (!client.inSequentialRun())
                break;
        }
    }

    FakeImapServer server;
    ImapClient client;
    QStringList read;  // subjects, in order
    QStringList texts; // the last-error text after each fetch
};

QStringList subjects(std::initializer_list<int> numbers)
{
    QStringList subjects;
    for (int n : numbers)
        subjects.append(u"message %1"_qs.arg(n));
    return subjects;
}

} // namespace

TEST(ImapResume, LostConnectionsAreTakenUpWhereTheyBroke)
{
    const struct {
        const char *name;
        QStringList scripts;
        QStringList read;
        int connections;
    } cases[] = {
        {"BYE", {runFrom(1) + answers(1, 2) + ByeAt3, runFrom(3) + answers(3, 5)}, subjects({1, 2, 3, 4, 5}), 2},
        {"reset", {runFrom(1) + answers(1, 2) + u"C: * FETCH 3 *\nSLEEP 50\nRESET\n"_qs, runFrom(3) + answers(3, 5)},
         subjects({1, 2, 3, 4, 5}), 2},
        {"silence past the limit", {runFrom(1) + answers(1, 2) + u"C: * FETCH 3 *\nSTALL\n"_qs, runFrom(3) + answers(3, 5)},
         subjects({1, 2, 3, 4, 5}), 2},
        {"closed after every message",
         {runFrom(1) + answers(1, 1) + u"CLOSE\n"_qs, runFrom(2) + answers(2, 2) + u"CLOSE\n"_qs,
          runFrom(3) + answers(3, 3) + u"CLOSE\n"_qs, runFrom(4) + answers(4, 4) + u"CLOSE\n"_qs, runFrom(5) + answers(5, 5)},
         subjects({1, 2, 3, 4, 5}), 5},
        {"a message that breaks every connection",
         {runFrom(1) + answers(1, 2) + u"C: * FETCH 3 *\nSLEEP 50\nRESET\n"_qs, runFrom(3) + u"C: * FETCH 3 *\nSLEEP 50\nRESET\n"_qs,
          runFrom(4) + answers(4, 5)},
         subjects({1, 2, 4, 5}), 3},
        {"UIDVALIDITY changed", {runFrom(1) + answers(1, 2) + ByeAt3, signedIn(5, 8)}, subjects({1, 2}), 2},
        {"message count changed", {runFrom(1) + answers(1, 2) + ByeAt3, signedIn(4)}, subjects({1, 2}), 2},
        {"sign-in refused three times", {runFrom(1) + answers(1, 2) + ByeAt3, LoginRefused}, subjects({1, 2}), 4},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        ResumingRun run(c.scripts);
        run.readAll();
        EXPECT_EQ(run.read, c.read);
        EXPECT_EQ(run.server.connectionCount(), c.connections);
        EXPECT_TRUE(run.server.mismatch().isEmpty()) << run.server.mismatch().toStdString();
        EXPECT_FALSE(run.texts.join(QString()).contains(u"pw"_qs));
        if (c.read.size() == 5) {
            EXPECT_FALSE(run.texts.filter(u"Signed in again (try 1 of 3); reading goes on at message"_qs).isEmpty());
        }
    }
}

TEST(ImapResume, GivenUpAfterThreeTriesWithGrowingPauses)
{
    // Pauses of 100 ms, then 200 ms, between the three tries.
    ResumingRun run({runFrom(1) + answers(1, 2) + ByeAt3, LoginRefused}, 100);
    QElapsedTimer clock;
    clock.start();
    run.readAll();
    EXPECT_GE(clock.elapsed(), 300);
    EXPECT_EQ(run.texts.last().count(u"NO [UNAVAILABLE] Try later"_qs), 3);
    EXPECT_THAT(run.texts.last().toStdString(), testing::EndsWith("Given up after 3 tries in a row."));
    EXPECT_FALSE(run.client.isConnected());
}

TEST(ImapResume, StopDuringThePauseEndsTheRun)
{
    // A pause of a minute: only the abort poll can end it in time.
    ResumingRun run({runFrom(1) + answers(1, 2) + ByeAt3, LoginRefused}, 60000);
    // Stop as soon as the first try has been refused: the next poll is the pause's.
    QObject::connect(&run.client, &ImapClient::abortCheck,
                     [&](bool &abort) { abort = run.client.lastErrorText().contains(u"Try later"_qs); });
    QElapsedTimer clock;
    clock.start();
    run.readAll();
    EXPECT_LT(clock.elapsed(), 30000) << "the pause ended at the Stop";
    EXPECT_EQ(run.read, subjects({1, 2}));
    EXPECT_EQ(run.client.lastFailure(), ImapFailure::Aborted);
    EXPECT_EQ(run.server.connectionCount(), 2) << "no try after the Stop";
    EXPECT_FALSE(run.client.isConnected());
}
