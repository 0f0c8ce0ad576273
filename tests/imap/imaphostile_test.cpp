#include "imap/imapclient.h"
#include "tests/common/fakeimapserver.h"
#include "tests/common/fakeserverclient.h"
#include "tests/common/printers.h"
#include "tests/common/processmemory.h"
#include "tests/common/wait.h"

#include <QProcess>
#include <QSet>
#include <QSslCertificate>
#include <QTimer>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <sys/resource.h>

// Hostile and broken servers: every bad answer ends the call with a reason, within the client's
// time limit, while the event loop keeps turning, and nothing is made of what was not read.
namespace {

constexpr int LimitMs = 1000;

const QString Greeting = QStringLiteral("S: * OK [CAPABILITY IMAP4rev1] fake ready\n");
const QString FetchOne = QStringLiteral("C: * FETCH 1 (BODY.PEEK[] INTERNALDATE)\n");

// Counts the turns of the event loop: a zero timer ticks once per turn, and only then.
class Ticker {
public:
    Ticker()
    {
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { ++m_ticks; });
        m_timer.start(0);
    }
    int ticks() const { return m_ticks; }

private:
    QTimer m_timer;
    int m_ticks = 0;
};

// Script lines answering the FETCH of `number` with a message of head, `copies` times piece,
// then tail; the tagged OK follows.
QString fetchAnswer(int number, const QByteArray &head, qint64 copies = 0, const QByteArray &piece = {},
                    const QByteArray &tail = {})
{
    const qint64 size = head.size() + copies * piece.size() + tail.size();
    QString script = QStringLiteral("RAW * %1 FETCH (BODY[] {%2}\\r\\n%3\n").arg(number).arg(size).arg(FakeImapServer::escaped(head));
    if (copies > 0)
        script += QStringLiteral("REPEAT %1 %2\n").arg(copies).arg(FakeImapServer::escaped(piece));
    return script + QStringLiteral("RAW %1)\\r\\n\nS: $TAG OK Fetch completed.\n").arg(FakeImapServer::escaped(tail));
}

struct FailingCase {
    const char *name;
    QString script; // after the greeting and the FETCH of message 1
    QString reason; // in the last-error text
};

// Fetches message 1 against each script: no message, the reason, the connection closed.
void expectFetchesFail(const QList<FailingCase> &cases)
{
    for (const FailingCase &c : cases) {
        SCOPED_TRACE(c.name);
        FakeImapServer server(Greeting + FetchOne + c.script);
        auto client = ConnectedTo(server, LimitMs);
        Ticker ticker;
        EXPECT_EQ(client->fetchSingle(1, false), nullptr);
        EXPECT_THAT(client->lastErrorText().toStdString(), testing::HasSubstr(c.reason.toStdString()));
        EXPECT_TRUE(client->lastErrorText().startsWith(QStringLiteral("A1 FETCH 1 ")));
        EXPECT_FALSE(client->isConnected());
        EXPECT_GT(ticker.ticks(), 0);
        EXPECT_TRUE(WaitUntil([&] { return !server.connected(); })) << "the client closed the connection";
    }
}

} // namespace

TEST(ImapHostileServer, AbsurdLiteralSizesAreRefusedWhenAnnounced)
{
    // Each is followed by silence: a client that waited for the bytes would time out instead.
    const QString tooLarge = QStringLiteral("literal too large");
    expectFetchesFail({
        {"one byte over the bound", u"S: * 1 FETCH (BODY[] {67108865}\nSTALL\n"_qs, tooLarge},
        {"nineteen digits", u"S: * 1 FETCH (BODY[] {1000000000000000000}\nSTALL\n"_qs, tooLarge},
        {"beyond 64 bits", u"S: * 1 FETCH (BODY[] {184467440737095516160}\nSTALL\n"_qs, tooLarge},
        {"the second literal passes the bound of the whole answer",
         u"RAW * 1 FETCH (BODY[HEADER] {2097152}\\r\\n\nREPEAT 2097152 x\n"
         "S:  BODY[] {67108864}\nSTALL\n"_qs,
         tooLarge},
    });

    FakeImapServer server(Greeting + u"C: * LIST *\nS: * LIST () \"/\" {67108865}\nSTALL\n"_qs);
    auto client = ConnectedTo(server, LimitMs);
    Ticker ticker;
    EXPECT_EQ(client->listMailboxes(QString(), u"*"_qs), nullptr);
    EXPECT_THAT(client->lastErrorText().toStdString(), testing::HasSubstr(tooLarge.toStdString()));
    EXPECT_FALSE(client->isConnected());
    EXPECT_GT(ticker.ticks(), 0);
}

TEST(ImapHostileServer, EndlessEmptyLiteralsAreCutOff)
{
    // Each "{0}" counts three bytes against the answer's bound but costs two pieces in memory.
    const QString tooMany = QStringLiteral("more than 1000 literals");
    expectFetchesFail({
        {"empty literals", u"RAW * 1 FETCH (BODY[] \nREPEAT * {0}\\r\\n\n"_qs, tooMany},
        {"one-byte literals", u"RAW * 1 FETCH (BODY[] \nREPEAT * {1}\\r\\nx\n"_qs, tooMany},
    });
}

TEST(ImapHostileServer, LineThatNeverEndsIsCutOff)
{
    // The server sends without CRLF until the client hangs up.
    const QString longer = QStringLiteral("line longer than 1048576 bytes");
    expectFetchesFail({
        {"untagged line", u"RAW * OK [ALERT] \nREPEAT * all work and no play \n"_qs, longer},
        {"line after a literal", u"RAW * 1 FETCH (BODY[] {5}\\r\\nhello\nREPEAT * \\x20FLAGS\n"_qs, longer},
        {"carriage returns only", u"RAW * 1 FETCH (FLAGS ()\nREPEAT * \\r\n"_qs, longer},
    });

    FakeImapServer server(u"RAW * OK \nREPEAT * greeting \n"_qs);
    ImapClient client;
    client.setSsl(true);
    client.setPort(server.port());
    client.setExtraCaCertificates(QSslCertificate::fromPath(TestCertificates::instance().caFile()));
    client.setTimeoutMs(LimitMs);
    Ticker ticker;
    EXPECT_EQ(client.connect(server.host()), 0);
    EXPECT_THAT(client.lastErrorText().toStdString(), testing::HasSubstr(longer.toStdString()));
    EXPECT_GT(ticker.ticks(), 0);
    EXPECT_TRUE(WaitUntil([&] { return !server.connected(); }));
}

TEST(ImapHostileServer, SlowDripIsReadWholeSilenceIsNot)
{
    // A byte every 5 ms is never silent for long, though the whole answer takes about 3 s.
    const QByteArray message = "From: drip@x.example\r\nSubject: slow\r\n\r\n" + QByteArray(500, 'd') + "\r\n";
    const QString answer = QStringLiteral("* 1 FETCH (BODY[] {%1}\\r\\n%2)\\r\\n$TAG OK done\\r\\n")
                               .arg(message.size())
                               .arg(FakeImapServer::escaped(message));
    FakeImapServer server(Greeting + FetchOne + u"DRIP 5 "_qs + answer + u"\n"_qs);
    auto client = ConnectedTo(server, LimitMs);
    QList<int> percents;
    QObject::connect(client.get(), &ImapClient::percentDone, [&](int p) { percents.append(p); });
    const auto email = client->fetchSingle(1, false);
    ASSERT_NE(email, nullptr) << client->lastErrorText().toStdString();
    EXPECT_EQ(email->Subject, u"slow"_qs);
    EXPECT_TRUE(std::any_of(percents.begin(), percents.end(), [](int p) { return p > 0 && p < 100; }));
    EXPECT_EQ(percents.value(percents.size() - 1), 100);
    EXPECT_TRUE(client->isConnected());

    // The greeting too.
    FakeImapServer greeter(u"DRIP 5 * OK [CAPABILITY IMAP4rev1] "_qs + QString(400, u'g') + u"\\r\\n\n"_qs);
    ImapClient second;
    second.setSsl(true);
    second.setPort(greeter.port());
    second.setExtraCaCertificates(QSslCertificate::fromPath(TestCertificates::instance().caFile()));
    second.setTimeoutMs(LimitMs);
    EXPECT_EQ(second.connect(greeter.host()), 1) << second.lastErrorText().toStdString();

    // Silence in the middle of an answer is cut.
    expectFetchesFail({{"stall mid-literal", u"DRIP 5 * 1 FETCH (BODY[] {100}\\r\\nFrom: drip@x.example\nSTALL\n"_qs,
                        u"No byte from the server for 1000 ms"_qs}});
}

TEST(ImapHostileServer, ConnectionResetMidLiteral)
{
    const QByteArray part = "From: cut@x.example\r\nSubject: never whole\r\n\r\n" + QByteArray(400, 'r');
    const QString start = QStringLiteral("RAW * 1 FETCH (BODY[] {2000}\\r\\n%1\n").arg(FakeImapServer::escaped(part));
    const QString whole = QStringLiteral("RAW * 1 FETCH (BODY[] {%1}\\r\\n%2\n").arg(part.size()).arg(FakeImapServer::escaped(part));
    const struct {
        const char *name;
        QString script;
    } cases[] = {
        {"inside the literal", start + u"SLEEP 200\nRESET\n"_qs},
        {"after the literal, before the answer's end", whole + u"SLEEP 200\nRESET\n"_qs},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        FakeImapServer server(Greeting + FetchOne + c.script);
        auto client = ConnectedTo(server, 10000);
        int maxPercent = -1;
        QObject::connect(client.get(), &ImapClient::percentDone, [&](int p) { maxPercent = qMax(maxPercent, p); });
        Ticker ticker;
        EXPECT_EQ(client->fetchSingle(1, false), nullptr);
        EXPECT_THAT(client->lastErrorText().toStdString(), testing::HasSubstr("Connection lost"));
        EXPECT_LT(maxPercent, 100);
        EXPECT_FALSE(client->isConnected());
        EXPECT_GT(ticker.ticks(), 0);
    }
}

TEST(ImapHostileServer, ByeInTheMiddleOfAnAnswer)
{
    const QString reason = QStringLiteral("The server closed the connection: * BYE");
    expectFetchesFail({
        {"bye, then the connection closes", u"S: * BYE Autologout; idle for too long\nCLOSE\n"_qs,
         reason + u" Autologout"_qs},
    });
}

TEST(ImapHostileServer, ByeWithTheConnectionLeftOpenEndsTheCallAtOnce)
{
    // A server that says BYE will not answer; the reason is its BYE, not a timeout.
    expectFetchesFail({
        {"bye, the connection kept open", u"S: * BYE Server shutting down\nSTALL\n"_qs,
         u"The server closed the connection: * BYE Server shutting down"_qs},
    });
}

TEST(ImapHostileServer, TlsCloseWithTheConnectionLeftOpenEndsTheCallAtOnce)
{
    const TestCertificates &certs = TestCertificates::instance();
    QProcess server;
    server.start(u"/usr/bin/python3"_qs, {QStringLiteral(QUORVANE_TLS_CLOSE_SERVER), certs.serverCertFile(), certs.serverKeyFile()});
    ASSERT_TRUE(server.waitForReadyRead(10000)) << server.readAllStandardError().toStdString();
    ImapClient client;
    client.setSsl(true);
    client.setPort(server.readLine().trimmed().toInt());
    client.setExtraCaCertificates(QSslCertificate::fromPath(certs.caFile()));
    client.setTimeoutMs(60000); // a wait that ran into it would fail the test anyway
    ASSERT_EQ(client.connect(u"localhost"_qs), 1) << client.lastErrorText().toStdString();
    EXPECT_TRUE(client.sendRawCommand(u"NOOP"_qs).isEmpty());
    EXPECT_TRUE(client.lastErrorText().contains(u"Connection lost: The TLS/SSL connection has been closed"_qs))
        << client.lastErrorText().toStdString();
    EXPECT_EQ(client.lastFailure(), ImapFailure::ConnectionLost);
    EXPECT_FALSE(client.isConnected());
    EXPECT_TRUE(server.waitForFinished(10000)) << "the client hung up";
}

TEST(ImapHostileServer, UnknownTagsAreAProtocolFailure)
{
    // Each is followed by the real answer, which must not rescue the call.
    const QString message = fetchAnswer(1, "From: a@x.example\r\nSubject: fine\r\n\r\nbody\r\n");
    const QString unexpected = QStringLiteral("Unexpected line from the server: ");
    const QString stale = Greeting + u"C: A1 NOOP\nS: $TAG OK done\nC: A2 FETCH 1 *\nS: A1 OK again\n"_qs + message;
    FakeImapServer server(stale);
    auto client = ConnectedTo(server, LimitMs);
    ASSERT_FALSE(client->sendRawCommand(u"NOOP"_qs).isEmpty());
    Ticker ticker;
    EXPECT_EQ(client->fetchSingle(1, false), nullptr);
    EXPECT_THAT(client->lastErrorText().toStdString(),
                testing::HasSubstr((unexpected + u"A1 OK again"_qs).toStdString()));
    EXPECT_FALSE(client->isConnected());
    EXPECT_GT(ticker.ticks(), 0);

    expectFetchesFail({
        {"a tag not sent yet", u"S: A2 OK from the future\n"_qs + message, unexpected + u"A2 OK from the future"_qs},
        {"after the message, before its own tag", message.left(message.indexOf(u"S: $TAG"_qs)) + u"S: Q7 NO who?\nS: $TAG OK\n"_qs,
         unexpected + u"Q7 NO who?"_qs},
    });
}

TEST(ImapHostileServer, FetchAnswerForAnotherNumberMakesNoMessage)
{
    const QByteArray foreign = "From: other@x.example\r\nSubject: not asked for\r\n\r\nfour\r\n";
    const QString script = Greeting
        + u"C: * FETCH 3 (BODY.PEEK[] INTERNALDATE)\n"_qs + fetchAnswer(4, foreign)
        + u"C: * FETCH 3 (BODY.PEEK[] INTERNALDATE)\n"_qs
        + u"RAW * 4 FETCH (UID 3 BODY[] {%1}\\r\\n%2)\\r\\n\nS: $TAG OK Fetch completed.\n"_qs.arg(foreign.size()).arg(
            FakeImapServer::escaped(foreign))
        + u"C: * FETCH 4 (BODY.PEEK[] INTERNALDATE)\n"_qs
        + fetchAnswer(4, "From: four@x.example\r\nSubject: four as asked\r\n\r\nfour\r\n");
    FakeImapServer server(script);
    auto client = ConnectedTo(server, LimitMs);
    QList<int> percents;
    QObject::connect(client.get(), &ImapClient::percentDone, [&](int p) { percents.append(p); });
    for (const char *variant : {"another number", "another number with the asked number as its UID"}) {
        SCOPED_TRACE(variant);
        percents.clear();
        Ticker ticker;
        EXPECT_EQ(client->fetchSingle(3, false), nullptr);
        EXPECT_THAT(client->lastErrorText().toStdString(), testing::HasSubstr("no message for number 3"));
        EXPECT_FALSE(percents.contains(100)) << "another message's bytes are no progress of this one";
        EXPECT_TRUE(client->isConnected());
        EXPECT_GT(ticker.ticks(), 0);
    }
    // What came unasked is not kept for later either.
    const auto four = client->fetchSingle(4, false);
    ASSERT_NE(four, nullptr) << client->lastErrorText().toStdString();
    EXPECT_EQ(four->Subject, u"four as asked"_qs);
    EXPECT_TRUE(server.scriptDone()) << server.mismatch().toStdString();
}

TEST(ImapHostileServer, ListNamesThatAreNotUtf8OrNotModifiedUtf7)
{
    const QList<QByteArray> raw = {"Caf\xe9", "Caf\xe8", "\xff\xfe" "Z", "&AOk-&AOk-", "Inbox&Jjo", "&AGE-", "&2D0-"};
    const QStringList forms = {"\"%1\"", "%1", "", "\"%1\"", "%1", "%1", "\"%1\""};
    QString script = Greeting + u"C: * LIST \"\" \"*\"\n"_qs;
    for (qsizetype i = 0; i < raw.size(); ++i) {
        if (forms[i].isEmpty())
            script += u"S: * LIST () \"/\" {%1}\nRAW %2\\r\\n\n"_qs.arg(raw[i].size()).arg(FakeImapServer::escaped(raw[i]));
        else
            script += u"RAW * LIST () \"/\" %1\\r\\n\n"_qs.arg(forms[i].arg(FakeImapServer::escaped(raw[i])));
    }
    script += u"S: $TAG OK List completed.\n"_qs;
    // 8-bit names go out as literals: the line, the continuation, the name.
    for (qsizetype i = 0; i < raw.size(); ++i) {
        const bool eightBit = std::any_of(raw[i].begin(), raw[i].end(), [](char c) { return uchar(c) >= 0x80; });
        if (eightBit)
            script += u"C: * SELECT {*}\nS: + go on\nC: *\nS: * 2 EXISTS\nS: A%1 OK [READ-WRITE] done\n"_qs.arg(i + 2);
        else
            script += u"C: * SELECT *\nS: * 2 EXISTS\nS: $TAG OK [READ-WRITE] done\n"_qs;
    }
    FakeImapServer server(script);
    auto client = ConnectedTo(server, LimitMs);
    Ticker ticker;
    const auto list = client->listMailboxes(QString(), u"*"_qs);
    ASSERT_NE(list, nullptr) << client->lastErrorText().toStdString();
    EXPECT_GT(ticker.ticks(), 0);
    ASSERT_EQ(list->count(), raw.size());
    QStringList names;
    for (int i = 0; i < list->count(); ++i)
        names.append(list->name(i));
    EXPECT_EQ(QSet<QString>(names.begin(), names.end()).size(), raw.size()) << "each name stays its own";
    EXPECT_TRUE(names[0].startsWith(u"Caf"_qs));
    EXPECT_TRUE(names[4].startsWith(u"Inbox"_qs));
    for (const QString &name : names)
        EXPECT_FALSE(name.contains(QChar::ReplacementCharacter)) << "no byte lost in " << name.toStdString();

    for (const QString &name : names)
        EXPECT_EQ(client->selectMailbox(name), 1) << client->lastErrorText().toStdString();
    QList<QByteArray> sent;
    const QList<QByteArray> lines = server.clientBytes();
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const qsizetype at = lines[i].indexOf(" SELECT ");
        if (at < 0)
            continue;
        const QByteArray argument = lines[i].mid(at + 8);
        if (argument.endsWith('}'))
            sent.append(lines.value(i + 1));
        else if (argument.startsWith('"'))
            sent.append(argument.mid(1, argument.size() - 2).replace("\\\"", "\"").replace("\\\\", "\\"));
        else
            sent.append(argument);
    }
    EXPECT_EQ(sent, raw) << "selected with the bytes listed";
    EXPECT_TRUE(server.scriptDone()) << server.mismatch().toStdString();
}

TEST(ImapHostileServer, OneMegabyteHeaders)
{
    const QByteArray from = "From: Ann <ann@x.example>\r\n";
    const QByteArray body = "\r\n\r\nthe body\r\n";
    const struct {
        const char *name;
        QByteArray head;
        qint64 copies;
        QByteArray piece;
        QByteArray tail;
        QString subjectStart;
        int words;
    } cases[] = {
        {"one unfolded subject line", from + "Subject: ", 262144, "abc ", body, u"abc abc"_qs, 262144},
        {"a subject folded 65536 times", from + "Subject: start", 65536, "\r\n abcdefghijklm", body, u"start abcdefghijklm"_qs,
         65537},
        {"32768 other fields before the subject", from, 32768, "X-Filler: 0123456789012345678\r\n",
         "Subject: after the filler" + body, u"after the filler"_qs, 3},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        FakeImapServer server(Greeting + FetchOne + fetchAnswer(1, c.head, c.copies, c.piece, c.tail));
        auto client = ConnectedTo(server, 20000);
        Ticker ticker;
        const auto email = client->fetchSingle(1, false);
        ASSERT_NE(email, nullptr) << client->lastErrorText().toStdString();
        EXPECT_GT(ticker.ticks(), 0);
        EXPECT_EQ(email->FromAddress, u"ann@x.example"_qs);
        EXPECT_THAT(email->Subject.toStdString(), testing::StartsWith(c.subjectStart.toStdString()));
        EXPECT_EQ(email->Subject.split(u' ', Qt::SkipEmptyParts).size(), c.words);
        EXPECT_EQ(email->PlainTextBody.trimmed(), u"the body"_qs);
    }
}

TEST(ImapHostileServer, MultipartNestedAThousandDeep)
{
    QByteArray message = "From: deep@x.example\r\nSubject: nested\r\nMIME-Version: 1.0\r\n"
                         "Content-Type: multipart/mixed; boundary=\"top\"\r\n\r\n--top\r\n";
    constexpr int Depth = 1000;
    for (int i = 0; i < Depth; ++i)
        message += "Content-Type: multipart/mixed; boundary=\"n" + QByteArray::number(i) + "\"\r\n\r\n--n"
            + QByteArray::number(i) + "\r\n";
    message += "Content-Type: text/html\r\n\r\n<p>deep</p>\r\n";
    for (int i = Depth - 1; i >= 0; --i)
        message += "--n" + QByteArray::number(i) + "--\r\n";
    message += "--top\r\nContent-Type: text/plain\r\n\r\nshallow\r\n--top--\r\n";

    FakeImapServer server(Greeting + FetchOne + fetchAnswer(1, message));
    auto client = ConnectedTo(server, 20000);
    Ticker ticker;
    const auto email = client->fetchSingle(1, false);
    ASSERT_NE(email, nullptr) << client->lastErrorText().toStdString();
    EXPECT_GT(ticker.ticks(), 0);
    EXPECT_EQ(email->Subject, u"nested"_qs);
    EXPECT_EQ(email->FromAddress, u"deep@x.example"_qs);
    // The walk goes no deeper than real mail does, comes back out and finds the shallow part.
    EXPECT_EQ(email->PlainTextBody.trimmed(), u"shallow"_qs);
    EXPECT_TRUE(email->HTMLTextBody.isEmpty()) << "a part 1,000 levels down is not this message's body";
}

TEST(ImapHostileServer, FiftyMegabyteMessageWithProgressAndBoundedMemory)
{
    const QByteArray head = "From: Big <big@x.example>\r\nSubject: fifty megabytes\r\nMIME-Version: 1.0\r\n"
                            "Content-Type: multipart/mixed; boundary=\"b\"\r\n\r\n"
                            "--b\r\nContent-Type: text/plain\r\n\r\nsee the attachment\r\n"
                            "--b\r\nContent-Type: application/octet-stream\r\n"
                            "Content-Disposition: attachment; filename=\"big.bin\"\r\n"
                            "Content-Transfer-Encoding: base64\r\n\r\n";
    const QByteArray line = "QUJDREVGR0hJSktMTU5PUFFSU1RVVldYWVphYmNkZWZnaGlq\r\n"; // 50 bytes
    constexpr qint64 Lines = 1000000;
    const QByteArray tail = "--b--\r\n";
    const qint64 size = head.size() + Lines * line.size() + tail.size();

    const qint64 baselineKb = ResidentKb();
    ResetPeakResident();
    FakeImapServer server(Greeting + FetchOne + fetchAnswer(1, head, Lines, line, tail));
    auto client = ConnectedTo(server, 120000);
    QList<int> percents;
    QObject::connect(client.get(), &ImapClient::percentDone, [&](int p) { percents.append(p); });
    Ticker ticker;
    const auto email = client->fetchSingle(1, false);
    ASSERT_NE(email, nullptr) << client->lastErrorText().toStdString();
    const qint64 peakKb = PeakResidentKb();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);

    EXPECT_EQ(email->Subject, u"fifty megabytes"_qs);
    EXPECT_EQ(email->PlainTextBody.trimmed(), u"see the attachment"_qs);
    EXPECT_GT(ticker.ticks(), 0);
    ASSERT_FALSE(percents.isEmpty());
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end())) << "percent done never goes back";
    EXPECT_EQ(percents.last(), 100);
    const auto between = std::count_if(percents.begin(), percents.end(), [](int p) { return p > 0 && p < 100; });
    EXPECT_GE(between, 10) << "progress flows while the message arrives";

    ASSERT_GT(baselineKb, 0);
    ASSERT_GT(peakKb, 0);
    const qint64 growth = (peakKb - baselineKb) * 1024;
    std::printf("50 MB message: %lld bytes, peak memory growth %lld bytes (%.2fx), ru_maxrss %ld kB, %lld percent events\n",
                static_cast<long long>(size), static_cast<long long>(growth), double(growth) / double(size),
                usage.ru_maxrss, static_cast<long long>(percents.size()));
    EXPECT_LT(growth, 4 * size);
}
