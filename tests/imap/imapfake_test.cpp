#include "devserver/testcertificates.h"
#include "imap/imapclient.h"
#include "tests/common/fakeimapserver.h"
#include "tests/common/fakemailbox.h"
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

QByteArray message(const QString &subject, int bodyBytes = 4)
{
    return "From: a@example.org\r\nSubject: " + subject.toUtf8() + "\r\n\r\n" + QByteArray(bodyBytes, 'b') + "\r\n";
}

QString answer(int number, const QString &subject)
{
    return FakeFetchAnswer(number, message(subject));
}

// The same answer to a FETCH matched earlier, tagged `tag`.
QString answerOnly(int number, const QString &tag, const QString &subject)
{
    return answer(number, subject).section(u'\n', 1).replace(u"$TAG"_qs, tag);
}

const QString SelectFour = u"C: A1 SELECT *\nS: * 4 EXISTS\nS: $TAG OK [READ-WRITE] done\n"_qs;

QString outlines(int first, const QStringList &subjects)
{
    QList<QByteArray> messages;
    for (const QString &subject : subjects)
        messages.append(message(subject));
    return FakeOutlines(first, messages);
}

QStringList fetches(const FakeImapServer &server)
{
    return server.clientLines().filter(u" FETCH "_qs);
}

} // namespace

TEST(ImapReadAhead, KeepsFetchesInFlightWithinTheRunAndTheCount)
{
    // The outlines first, then all three fetches before the first answer is sent: the run reads ahead.
    const QString script = Greeting + SelectFour + outlines(1, {u"one"_qs, u"two"_qs, u"three"_qs})
        + u"C: A3 FETCH 1 (BODY.PEEK[] INTERNALDATE)\nC: A4 FETCH 2 *\nC: A5 FETCH 3 *\n"_qs
        + answerOnly(1, u"A3"_qs, u"one"_qs) + answerOnly(2, u"A4"_qs, u"two"_qs)
        + answerOnly(3, u"A5"_qs, u"three"_qs);
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
        ASSERT_NE(email, nullptr) << n << client->lastErrorText().toStdString() << server.mismatch().toStdString();
        subjects.append(email->Subject);
        EXPECT_EQ(percents.value(percents.size() - 1), 100) << n;
        // Each message's log text is its own command's.
        EXPECT_TRUE(client->lastErrorText().startsWith(u"A%1 FETCH %2 "_qs.arg(n + 2).arg(n)))
            << client->lastErrorText().toStdString();
        if (n == 1) {
            WaitUntil([] { return false; }, 200);
            EXPECT_EQ(fetches(server).size(), 4) << "the outlines, and the count bound holds two ahead";
        }
    }
    EXPECT_EQ(subjects, (QStringList{u"one"_qs, u"two"_qs, u"three"_qs}));
    WaitUntil([] { return false; }, 200);
    EXPECT_EQ(fetches(server).size(), 4) << "nothing past the run's last number";
    EXPECT_TRUE(server.scriptDone()) << server.mismatch().toStdString();
}

TEST(ImapReadAhead, BytesBoundAndOtherNumbersEndTheRun)
{
    // A byte bound smaller than a message keeps one fetch in flight; a number out of turn ends the run.
    const QString script = Greeting + SelectFour + outlines(1, {u"one"_qs, u"two"_qs, u"three"_qs, u"four"_qs})
        + answer(1, u"one"_qs) + answer(3, u"three"_qs) + answer(4, u"four"_qs);
    FakeImapServer server(script);
    auto client = connectedTo(server);
    client->setReadAhead(10, 1);
    ASSERT_EQ(client->selectMailbox(u"INBOX"_qs), 1) << client->lastErrorText().toStdString() << server.mismatch().toStdString();
    client->expectSequentialFetches(1, 4);
    ASSERT_NE(client->fetchSingle(1, false), nullptr) << client->lastErrorText().toStdString();
    WaitUntil([] { return false; }, 200);
    EXPECT_EQ(fetches(server).size(), 2);
    client->setReadAhead(10, 1 << 20);
    const auto third = client->fetchSingle(3, false);
    ASSERT_NE(third, nullptr) << client->lastErrorText().toStdString();
    EXPECT_EQ(third->Subject, u"three"_qs);
    WaitUntil([] { return false; }, 200);
    EXPECT_EQ(fetches(server).size(), 3) << "no reading ahead once the run was left";
    EXPECT_EQ(client->fetchSingle(4, false)->Subject, u"four"_qs);
    EXPECT_TRUE(server.scriptDone()) << server.mismatch().toStdString();
}

TEST(ImapReadAhead, TheByteBoundCountsTheSizesTheOutlinesGive)
{
    // 2 and 3 do not both fit beside each other: 3 goes once 2 is handed over, 4 with it.
    const QList<QByteArray> messages = {message(u"one"_qs), message(u"two"_qs, 600), message(u"three"_qs, 600),
                                        message(u"four"_qs)};
    const QString script = Greeting + SelectFour + FakeOutlines(1, messages) + FakeFetchAnswer(1, messages[0])
        + FakeFetchAnswer(2, messages[1]) + FakeFetchAnswer(3, messages[2]) + FakeFetchAnswer(4, messages[3]);
    FakeImapServer server(script);
    auto client = connectedTo(server);
    client->setReadAhead(10, 1000);
    ASSERT_EQ(client->selectMailbox(u"INBOX"_qs), 1) << client->lastErrorText().toStdString() << server.mismatch().toStdString();
    client->expectSequentialFetches(1, 4);
    QList<int> inFlight; // fetches sent by the time each message is handed over, the outlines' among them
    QStringList subjects;
    for (int n = 1; n <= 4; ++n) {
        const auto email = client->fetchSingle(n, false);
        ASSERT_NE(email, nullptr) << n << client->lastErrorText().toStdString() << server.mismatch().toStdString();
        subjects.append(email->Subject);
        WaitUntil([] { return false; }, 100);
        inFlight.append(int(fetches(server).size()));
    }
    EXPECT_EQ(inFlight, (QList<int>{3, 5, 5, 5}));
    EXPECT_EQ(subjects, (QStringList{u"one"_qs, u"two"_qs, u"three"_qs, u"four"_qs}));
    EXPECT_TRUE(server.scriptDone()) << server.mismatch().toStdString();
}

TEST(ImapReadAhead, AFailedFetchYieldsNoneForItsNumberOnly)
{
    const QString script = Greeting + SelectFour + outlines(1, {u"one"_qs, u"two"_qs, u"three"_qs}) + answer(1, u"one"_qs)
        + u"C: A4 FETCH 2 *\nS: A4 NO [UNAVAILABLE] message 2 is gone\n"_qs + answer(3, u"three"_qs);
    FakeImapServer server(script);
    auto client = connectedTo(server);
    ASSERT_EQ(client->selectMailbox(u"INBOX"_qs), 1) << client->lastErrorText().toStdString() << server.mismatch().toStdString();
    client->expectSequentialFetches(1, 3);
    ASSERT_NE(client->fetchSingle(1, false), nullptr) << client->lastErrorText().toStdString();
    EXPECT_EQ(client->fetchSingle(2, false), nullptr);
    EXPECT_THAT(client->lastErrorText().toStdString(), testing::HasSubstr("A4 FETCH 2"));
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
    const QString script = Greeting + SelectFour + outlines(1, {u"one"_qs, u"two"_qs, u"three"_qs})
        + u"C: A3 FETCH 1 *\nC: A4 FETCH 2 *\nC: A5 FETCH 3 *\n"_qs + answerOnly(1, u"A3"_qs, u"one"_qs)
        + u"SLEEP 600\n"_qs + answerOnly(2, u"A4"_qs, u"two"_qs) + answerOnly(3, u"A5"_qs, u"three (stale)"_qs)
        + u"C: A6 SELECT *\nS: * 4 EXISTS\nS: $TAG OK [READ-WRITE] done\n"_qs + answer(3, u"three"_qs);
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

TEST(ImapReadAhead, AMessageIsReadWholeWhenItsOutlineOrItsPartsFail)
{
    const QByteArray mixed = "From: a@example.org\r\nSubject: parts\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n"
                             "--b\r\nContent-Type: text/plain\r\n\r\nhello\r\n--b\r\nContent-Type: application/octet-stream\r\n"
                             "Content-Disposition: attachment; filename=a.bin\r\n\r\nAAAA\r\n--b--\r\n";
    const QString outline = u"C: * FETCH 1:1 (RFC822.SIZE BODYSTRUCTURE)\nS: * 1 FETCH (RFC822.SIZE %1 BODYSTRUCTURE (%2))\n"
                            "S: $TAG OK done\n"_qs.arg(mixed.size());
    const QString structure = u"(\"TEXT\" \"PLAIN\" NIL NIL NIL \"7BIT\" 7 1 NIL NIL NIL NIL)(\"APPLICATION\" \"OCTET-STREAM\" "
                              "NIL NIL NIL \"7BIT\" 6 NIL (\"ATTACHMENT\" (\"FILENAME\" \"a.bin\")) NIL NIL) \"MIXED\" "
                              "(\"BOUNDARY\" \"b\") NIL NIL NIL"_qs;
    const QString partsAsked = u"C: * FETCH 1 (INTERNALDATE BODY.PEEK[HEADER] BODY.PEEK[1.MIME] BODY.PEEK[2.MIME] BODY.PEEK[1])\n"_qs;
    const struct {
        const char *name;
        QString script; // up to the FETCH of the whole message
    } cases[] = {
        {"outlines refused", u"C: * FETCH 1:1 (RFC822.SIZE BODYSTRUCTURE)\nS: $TAG NO not now\n"_qs},
        {"an outline that is no structure", outline.arg(u"\"TEXT\""_qs)},
        {"parts refused", outline.arg(structure) + partsAsked + u"S: $TAG NO [SERVERBUG] no parts\n"_qs},
        {"parts answered without parts", outline.arg(structure) + partsAsked + u"S: $TAG OK done\n"_qs},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        FakeImapServer server(Greeting + u"C: A1 SELECT *\nS: * 1 EXISTS\nS: $TAG OK [READ-WRITE] done\n"_qs + c.script
                              + FakeFetchAnswer(1, mixed));
        auto client = connectedTo(server);
        ASSERT_EQ(client->selectMailbox(u"INBOX"_qs), 1) << client->lastErrorText().toStdString();
        client->expectSequentialFetches(1, 1);
        const auto email = client->fetchSingle(1, false);
        ASSERT_NE(email, nullptr) << client->lastErrorText().toStdString() << server.mismatch().toStdString();
        EXPECT_EQ(email->Subject, u"parts"_qs);
        EXPECT_EQ(email->PlainTextBody, u"hello"_qs);
        EXPECT_TRUE(server.scriptDone()) << server.mismatch().toStdString();
    }
}
