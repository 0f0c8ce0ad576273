#include "devserver/testcertificates.h"
#include "imap/imapclient.h"
#include "tests/common/fakeimapserver.h"
#include "tests/common/fakeserverclient.h"
#include "tests/common/printers.h"
#include "tests/common/wait.h"

#include <QSslCertificate>
#include <QTimer>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

// Faults a real server does not produce, against the scripted server over TLS.
namespace {

constexpr int LimitMs = 1500;

std::unique_ptr<ImapClient> connectedTo(const FakeImapServer &server)
{
    return ConnectedTo(server, LimitMs);
}

const QString Greeting = QStringLiteral("S: * OK [CAPABILITY IMAP4rev1] fake ready\n");
const QString FetchOne = QStringLiteral("C: * FETCH 1 (BODY.PEEK[] INTERNALDATE)\n");

} // namespace

TEST(ImapFakeServer, RawCommandAnswers)
{
    // Tagged answer only: still a non-empty response.
    FakeImapServer server(Greeting + u"C: * ID (\"GUID\" \"1\")\nS: $TAG OK ID done\n"_qs);
    auto client = connectedTo(server);
    const QString answer = client->sendRawCommand(u"ID (\"GUID\" \"1\")"_qs);
    EXPECT_THAT(answer.toStdString(), testing::EndsWith(" OK ID done"));
    EXPECT_TRUE(server.scriptDone());

    // Not one line: refused before anything is sent.
    EXPECT_TRUE(client->sendRawCommand(u"NOOP\r\nA9 LOGOUT"_qs).isEmpty());
    EXPECT_FALSE(client->lastErrorText().isEmpty());
    EXPECT_EQ(server.clientLines().size(), 1);
}

TEST(ImapFakeServer, ConnectionClosedInsteadOfAnAnswer)
{
    FakeImapServer server(Greeting + u"C: * ID *\nCLOSE\n"_qs);
    auto client = connectedTo(server);
    EXPECT_TRUE(client->sendRawCommand(u"ID (\"GUID\" \"1\")"_qs).isEmpty());
    EXPECT_TRUE(client->lastErrorText().contains(u"ID (\"GUID\" \"1\")"_qs));
    EXPECT_THAT(client->lastErrorText().toStdString(), testing::HasSubstr("Connection lost"));
    EXPECT_FALSE(client->isConnected());
    EXPECT_EQ(client->login(u"ann"_qs, u"pw"_qs), 0);
    EXPECT_TRUE(client->lastErrorText().contains(u"Not connected"_qs));
}

TEST(ImapFakeServer, ByeGreetingRefusesTheConnection)
{
    FakeImapServer server(u"S: * BYE too busy\nCLOSE\n"_qs);
    ImapClient client;
    client.setSsl(true);
    client.setPort(server.port());
    client.setExtraCaCertificates(QSslCertificate::fromPath(TestCertificates::instance().caFile()));
    EXPECT_EQ(client.connect(server.host()), 0);
    EXPECT_THAT(client.lastErrorText().toStdString(), testing::HasSubstr("too busy"));
    EXPECT_FALSE(client.isConnected());
}

TEST(ImapFakeServer, SlowOrBrokenAnswersFailWithinTheLimit)
{
    struct Case {
        const char *name;
        QString script;
        QString expectedError;
    };
    const QString longLine = u"RAW * OK "_qs + QString(1100 * 1024, u'x') + u"\n"_qs;
    const QList<Case> cases = {
        {"dropped mid-literal", u"S: * 1 FETCH (BODY[] {1000}\nRAW From: a@b\\r\\nSubject: cut\\r\\n\nCLOSE\n"_qs,
         u"Connection lost"_qs},
        {"stall", u"S: * 1 FETCH (BODY[] {10}\nSTALL\n"_qs, u"No byte from the server for 1500 ms"_qs},
        {"garbage line", u"S: hello there, how are you\n"_qs, u"Unexpected line"_qs},
        {"unknown tag", u"S: Z99 OK not yours\n"_qs, u"Unexpected line"_qs},
        {"unterminated quote in FETCH", u"S: * 1 FETCH (INTERNALDATE \"1-Jan-2020\n"_qs, u"Malformed response"_qs},
        {"absurd literal", u"S: * 1 FETCH (BODY[] {99999999999}\nSTALL\n"_qs, u"literal too large"_qs},
        {"line without end", longLine + u"STALL\n"_qs, u"line longer"_qs},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        FakeImapServer server(Greeting + FetchOne + c.script);
        auto client = connectedTo(server);
        int polls = 0;
        QObject::connect(client.get(), &ImapClient::abortCheck, [&](bool &) { ++polls; });
        EXPECT_EQ(client->fetchSingle(1, false), nullptr);
        EXPECT_THAT(client->lastErrorText().toStdString(), testing::HasSubstr(c.expectedError.toStdString()));
        EXPECT_TRUE(client->lastErrorText().startsWith(u"A1 FETCH 1 (BODY.PEEK[] INTERNALDATE)"_qs));
        EXPECT_FALSE(client->isConnected());
        EXPECT_GT(polls, 0);
    }
}

TEST(ImapFakeServer, FetchTakesOnlyTheAskedNumber)
{
    const QString script = Greeting + u"C: * FETCH 2 (BODY.PEEK[] INTERNALDATE)\n"
                                      "S: * 1 FETCH (FLAGS (\\Seen))\n"
                                      "RAW * 1 FETCH (BODY[] {27}\\r\\nFrom: x@y\\r\\nSubject: one\\r\\n\\r\\n)\\r\\n\n"
                                      "RAW * 2 FETCH (INTERNALDATE \"05-Mar-2021 10:00:00 +0000\" BODY[] {42}\\r\\n"
                                      "From: Bo <bo@ex.org>\\r\\nSubject: two\\r\\n\\r\\nhi\\r\\n)\\r\\n\n"
                                      "S: * 3 EXISTS\n"
                                      "S: $TAG OK Fetch completed.\n"
                                      "C: * FETCH 1 (BODY.PEEK[] INTERNALDATE)\n"
                                      "S: * 2 FETCH (FLAGS ())\n"
                                      "S: $TAG OK Fetch completed.\n"_qs;
    FakeImapServer server(script);
    auto client = connectedTo(server);
    QList<int> percents;
    QObject::connect(client.get(), &ImapClient::percentDone, [&](int p) { percents.append(p); });
    const auto email = client->fetchSingle(2, false);
    ASSERT_NE(email, nullptr) << client->lastErrorText().toStdString();
    EXPECT_EQ(email->Subject, u"two"_qs);
    EXPECT_EQ(email->FromAddress, u"bo@ex.org"_qs);
    EXPECT_EQ(percents.value(percents.size() - 1), 100);
    EXPECT_EQ(client->messageCount(), 3);

    // Only another number's data: no message.
    EXPECT_EQ(client->fetchSingle(1, false), nullptr);
    EXPECT_THAT(client->lastErrorText().toStdString(), testing::HasSubstr("no message"));
    EXPECT_TRUE(client->isConnected());
    EXPECT_TRUE(server.scriptDone());
}

TEST(ImapFakeServer, ListNamesAsTheServerSendsThem)
{
    const QString script = Greeting + u"C: * LIST \"\" \"*\"\n"
                                      "S: * LIST (\\HasNoChildren) \"/\" INBOX\n"
                                      "S: * LIST (\\Noselect \\HasChildren) \"/\" \"[Yahoo! Mail]\"\n"
                                      "S: * LIST (\\HasNoChildren) \"/\" \"[Yahoo! Mail]/Sent \\\"Items\\\" \\\\ old\"\n"
                                      "S: * LIST () NIL {10}\n"
                                      "RAW Odd {Name}\\r\\n\n"
                                      "S: * LIST () \"/\" Entw&APw-rfe\n"
                                      "S: * LIST () \"/\" Broken&AP\n"
                                      "S: $TAG OK List completed.\n"
                                      "C: * SELECT \"Entw&APw-rfe\"\n"
                                      "S: * 4 EXISTS\n"
                                      "S: $TAG OK [READ-WRITE] Select completed.\n"
                                      "C: * SELECT \"Broken&AP\"\n"
                                      "S: $TAG NO Mailbox doesn't exist\n"_qs;
    FakeImapServer server(script);
    auto client = connectedTo(server);
    const auto list = client->listMailboxes(QString(), u"*"_qs);
    ASSERT_NE(list, nullptr) << client->lastErrorText().toStdString();
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names.append(list->name(i));
    EXPECT_EQ(names, (QStringList{u"INBOX"_qs, u"[Yahoo! Mail]"_qs, u"[Yahoo! Mail]/Sent \"Items\" \\ old"_qs,
                                  u"Odd {Name}"_qs, u"Entwürfe"_qs, u"Broken&AP"_qs}));
    EXPECT_TRUE(list->name(6).isEmpty());

    EXPECT_EQ(client->selectMailbox(u"Entwürfe"_qs), 1) << client->lastErrorText().toStdString();
    EXPECT_EQ(client->messageCount(), 4);
    EXPECT_EQ(client->selectMailbox(u"Broken&AP"_qs), 0); // sent as listed, not re-encoded
    EXPECT_EQ(client->messageCount(), 0);
    EXPECT_TRUE(client->lastErrorText().contains(u"NO Mailbox doesn't exist"_qs));
    EXPECT_TRUE(server.scriptDone()) << server.mismatch().toStdString();
}

TEST(ImapFakeServer, ConnectAgainClosesTheOldConnection)
{
    FakeImapServer first(Greeting);
    FakeImapServer second(Greeting);
    auto client = connectedTo(first);
    ASSERT_TRUE(WaitUntil([&] { return first.connected(); }));
    client->setPort(second.port());
    EXPECT_EQ(client->connect(second.host()), 1);
    EXPECT_TRUE(WaitUntil([&] { return !first.connected(); }));
    EXPECT_TRUE(client->isConnected());
    EXPECT_EQ(client->disconnect(), 1);
    EXPECT_TRUE(WaitUntil([&] { return !second.connected(); }));
    EXPECT_FALSE(client->isConnected());
}

TEST(ImapFakeServer, AbortDuringADripGivesUp)
{
    FakeImapServer server(Greeting + FetchOne + u"DRIP 100 * 1 FETCH (BODY[] {30}\\r\\n0123456789012345678901234567890)\\r\\n\n"_qs);
    auto client = connectedTo(server);
    client->setTimeoutMs(60000);
    int percentSeen = 0;
    QObject::connect(client.get(), &ImapClient::percentDone, [&](int p) { percentSeen = qMax(percentSeen, p); });
    QObject::connect(client.get(), &ImapClient::abortCheck, [&](bool &abort) { abort = percentSeen > 0; });
    EXPECT_EQ(client->fetchSingle(1, false), nullptr);
    EXPECT_THAT(client->lastErrorText().toStdString(), testing::EndsWith("aborted"));
    EXPECT_GT(percentSeen, 0);
    EXPECT_LT(percentSeen, 100);
}

TEST(ImapFakeServer, PropertiesNeverSet)
{
    ImapClient client;
    EXPECT_EQ(client.connect(QString()), 0);
    EXPECT_TRUE(client.lastErrorText().contains(u"No host name"_qs));
    client.setPort(0);
    EXPECT_EQ(client.connect(u"localhost"_qs), 0);
    EXPECT_TRUE(client.lastErrorText().contains(u"Invalid port 0"_qs));
    EXPECT_FALSE(client.isConnected());
    EXPECT_EQ(client.fetchSingle(1, false), nullptr);
    EXPECT_EQ(client.listMailboxes(QString(), u"*"_qs), nullptr);
}

namespace {

// The whole answer to "tag FETCH n": the message as a literal, then the tagged OK.
QString fetchAnswer(int number, const QString &tag, const QString &subject)
{
    const QString message = u"From: a@example.org\\r\\nSubject: "_qs + subject + u"\\r\\n\\r\\nbody\\r\\n"_qs;
    const int size = int(message.toUtf8().replace("\\r\\n", "\r\n").size());
    return u"RAW * %1 FETCH (BODY[] {%2}\\r\\n%3)\\r\\n%4 OK Fetch completed.\\r\\n\n"_qs.arg(number).arg(size).arg(
        message, tag);
}

const QString SelectFour = u"C: A1 SELECT *\nS: * 4 EXISTS\nS: $TAG OK [READ-WRITE] done\n"_qs;

QStringList fetches(const FakeImapServer &server)
{
    return server.clientLines().filter(u" FETCH "_qs);
}

} // namespace

TEST(ImapReadAhead, KeepsFetchesInFlightWithinTheRunAndTheCount)
{
    // All three fetches arrive before the first answer is sent: the run reads ahead.
    const QString script = Greeting + SelectFour
        + u"C: A2 FETCH 1 (BODY.PEEK[] INTERNALDATE)\nC: A3 FETCH 2 *\nC: A4 FETCH 3 *\n"_qs
        + fetchAnswer(1, u"A2"_qs, u"one"_qs) + fetchAnswer(2, u"A3"_qs, u"two"_qs)
        + fetchAnswer(3, u"A4"_qs, u"three"_qs);
    FakeImapServer server(script);
    auto client = connectedTo(server);
    client->setReadAhead(2, 1 << 20);
    ASSERT_EQ(client->selectMailbox(u"INBOX"_qs), 1) << client->lastErrorText().toStdString() << server.mismatch().toStdString();
    client->expectSequentialFetches(1, 3);
    QList<int> percents;
    QObject::connect(client.get(), &ImapClient::percentDone, [&](int p) { percents.append(p); });
    QStringList subjects;
    for (int n = 1; n <= 3; ++n) {
        const auto email = client->fetchSingle(n, false);
        ASSERT_NE(email, nullptr) << n << client->lastErrorText().toStdString();
        subjects.append(email->Subject);
        EXPECT_EQ(percents.value(percents.size() - 1), 100) << n;
        // Each message's log text is its own command's.
        EXPECT_TRUE(client->lastErrorText().startsWith(u"A%1 FETCH %2 "_qs.arg(n + 1).arg(n)))
            << client->lastErrorText().toStdString();
        if (n == 1) {
            WaitUntil([] { return false; }, 200);
            EXPECT_EQ(fetches(server).size(), 3) << "the count bound holds two ahead";
        }
    }
    EXPECT_EQ(subjects, (QStringList{u"one"_qs, u"two"_qs, u"three"_qs}));
    WaitUntil([] { return false; }, 200);
    EXPECT_EQ(fetches(server).size(), 3) << "nothing past the run's last number";
    EXPECT_TRUE(server.scriptDone()) << server.mismatch().toStdString();
}

TEST(ImapReadAhead, BytesBoundAndOtherNumbersEndTheRun)
{
    // A byte bound smaller than a message keeps one fetch in flight; a number out of turn ends the run.
    const QString script = Greeting + SelectFour + u"C: A2 FETCH 1 *\n"_qs + fetchAnswer(1, u"A2"_qs, u"one"_qs)
        + u"C: A3 FETCH 3 *\n"_qs + fetchAnswer(3, u"A3"_qs, u"three"_qs) + u"C: A4 FETCH 4 *\n"_qs
        + fetchAnswer(4, u"A4"_qs, u"four"_qs);
    FakeImapServer server(script);
    auto client = connectedTo(server);
    client->setReadAhead(10, 1);
    ASSERT_EQ(client->selectMailbox(u"INBOX"_qs), 1) << client->lastErrorText().toStdString() << server.mismatch().toStdString();
    client->expectSequentialFetches(1, 4);
    ASSERT_NE(client->fetchSingle(1, false), nullptr) << client->lastErrorText().toStdString();
    WaitUntil([] { return false; }, 200);
    EXPECT_EQ(fetches(server).size(), 1);
    client->setReadAhead(10, 1 << 20);
    const auto third = client->fetchSingle(3, false);
    ASSERT_NE(third, nullptr) << client->lastErrorText().toStdString();
    EXPECT_EQ(third->Subject, u"three"_qs);
    WaitUntil([] { return false; }, 200);
    EXPECT_EQ(fetches(server).size(), 2) << "no reading ahead once the run was left";
    EXPECT_EQ(client->fetchSingle(4, false)->Subject, u"four"_qs);
    EXPECT_TRUE(server.scriptDone()) << server.mismatch().toStdString();
}

TEST(ImapReadAhead, TheByteBoundCountsTheSizeOfTheMessagesRead)
{
    // Before any message the guess is 64 KB, over this bound; after the first small one the rest fit.
    const QString script = Greeting + SelectFour + u"C: A2 FETCH 1 *\n"_qs + fetchAnswer(1, u"A2"_qs, u"one"_qs)
        + u"C: A3 FETCH 2 *\nC: A4 FETCH 3 *\nC: A5 FETCH 4 *\n"_qs + fetchAnswer(2, u"A3"_qs, u"two"_qs)
        + fetchAnswer(3, u"A4"_qs, u"three"_qs) + fetchAnswer(4, u"A5"_qs, u"four"_qs);
    FakeImapServer server(script);
    auto client = connectedTo(server);
    client->setReadAhead(10, (64 << 10) - 1);
    ASSERT_EQ(client->selectMailbox(u"INBOX"_qs), 1) << client->lastErrorText().toStdString() << server.mismatch().toStdString();
    client->expectSequentialFetches(1, 4);
    ASSERT_NE(client->fetchSingle(1, false), nullptr) << client->lastErrorText().toStdString();
    WaitUntil([] { return false; }, 200);
    EXPECT_EQ(fetches(server).size(), 1) << "nothing ahead while the size is a guess over the bound";
    QStringList subjects;
    for (int n = 2; n <= 4; ++n) {
        const auto email = client->fetchSingle(n, false);
        ASSERT_NE(email, nullptr) << n << client->lastErrorText().toStdString() << server.mismatch().toStdString();
        subjects.append(email->Subject);
    }
    EXPECT_EQ(subjects, (QStringList{u"two"_qs, u"three"_qs, u"four"_qs}));
    EXPECT_TRUE(server.scriptDone()) << server.mismatch().toStdString();
}

TEST(ImapReadAhead, AFailedFetchYieldsNoneForItsNumberOnly)
{
    const QString script = Greeting + SelectFour + u"C: A2 FETCH 1 *\nC: A3 FETCH 2 *\nC: A4 FETCH 3 *\n"_qs
        + fetchAnswer(1, u"A2"_qs, u"one"_qs) + u"S: A3 NO [UNAVAILABLE] message 2 is gone\n"_qs
        + fetchAnswer(3, u"A4"_qs, u"three"_qs);
    FakeImapServer server(script);
    auto client = connectedTo(server);
    ASSERT_EQ(client->selectMailbox(u"INBOX"_qs), 1) << client->lastErrorText().toStdString() << server.mismatch().toStdString();
    client->expectSequentialFetches(1, 3);
    ASSERT_NE(client->fetchSingle(1, false), nullptr) << client->lastErrorText().toStdString();
    EXPECT_EQ(client->fetchSingle(2, false), nullptr);
    EXPECT_THAT(client->lastErrorText().toStdString(), testing::HasSubstr("A3 FETCH 2"));
    EXPECT_TRUE(client->lastErrorText().contains(u"message 2 is gone"_qs));
    const auto third = client->fetchSingle(3, false);
    ASSERT_NE(third, nullptr) << client->lastErrorText().toStdString();
    EXPECT_EQ(third->Subject, u"three"_qs);
    EXPECT_TRUE(client->isConnected());
}

TEST(ImapReadAhead, StopGivesUpEveryFetchInFlight)
{
    // Message 2 is late; Stop comes meanwhile. The late answers are read off before the next
    // command, and a later fetch of 3 asks again instead of handing over what was read ahead.
    const QString script = Greeting + SelectFour + u"C: A2 FETCH 1 *\nC: A3 FETCH 2 *\nC: A4 FETCH 3 *\n"_qs
        + fetchAnswer(1, u"A2"_qs, u"one"_qs) + u"SLEEP 600\n"_qs + fetchAnswer(2, u"A3"_qs, u"two"_qs)
        + fetchAnswer(3, u"A4"_qs, u"three (stale)"_qs)
        + u"C: A5 SELECT *\nS: * 4 EXISTS\nS: $TAG OK [READ-WRITE] done\nC: A6 FETCH 3 *\n"_qs
        + fetchAnswer(3, u"A6"_qs, u"three"_qs);
    FakeImapServer server(script);
    auto client = connectedTo(server);
    ASSERT_EQ(client->selectMailbox(u"INBOX"_qs), 1) << client->lastErrorText().toStdString() << server.mismatch().toStdString();
    client->expectSequentialFetches(1, 3);
    ASSERT_NE(client->fetchSingle(1, false), nullptr) << client->lastErrorText().toStdString();
    bool stop = false;
    QObject::connect(client.get(), &ImapClient::abortCheck, [&](bool &abort) { abort = stop; });
    QTimer::singleShot(150, [&] { stop = true; });
    EXPECT_EQ(client->fetchSingle(2, false), nullptr);
    EXPECT_THAT(client->lastErrorText().toStdString(), testing::EndsWith("aborted"));
    stop = false;
    ASSERT_EQ(client->selectMailbox(u"INBOX"_qs), 1) << client->lastErrorText().toStdString();
    const auto third = client->fetchSingle(3, false);
    ASSERT_NE(third, nullptr) << client->lastErrorText().toStdString();
    EXPECT_EQ(third->Subject, u"three"_qs);
    EXPECT_TRUE(server.scriptDone()) << server.mismatch().toStdString();
}
