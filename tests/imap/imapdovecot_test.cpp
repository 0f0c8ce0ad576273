#include "devserver/dovecotfixture.h"
#include "imap/imapclient.h"
#include "imap/mimereader.h"
#include "tests/common/printers.h"
#include "tests/common/processmemory.h"

#include <QSslCertificate>
#include <QTest>
#include <QTimeZone>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

// The component against a real Dovecot over TLS.
namespace {

QByteArray message(const QByteArray &from, const QByteArray &subject, const QByteArray &body)
{
    return "From: " + from + "\r\nTo: ann@example.org\r\nSubject: " + subject
           + "\r\nDate: Fri, 05 Mar 2021 10:00:00 +0000\r\nMessage-ID: <" + QByteArray::number(qHash(subject))
           + "@example.org>\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=utf-8\r\n\r\n" + body + "\r\n";
}

QByteArray alternative()
{
    return "From: \"Bo Beispiel\" <bo@example.de>\r\nSubject: =?UTF-8?Q?Gr=C3=BC=C3=9Fe?=\r\n"
           "Date: Sat, 06 Mar 2021 11:00:00 +0100\r\nMIME-Version: 1.0\r\n"
           "Content-Type: multipart/alternative; boundary=\"b1\"\r\n\r\n"
           "--b1\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Transfer-Encoding: 8bit\r\n\r\n"
           "Viele Gr\xc3\xbc\xc3\x9f" "e\r\n--b1\r\nContent-Type: text/html; charset=utf-8\r\n\r\n"
           "<p>Viele Gr&uuml;&szlig;e</p>\r\n--b1--\r\n";
}

QList<QSslCertificate> testCa()
{
    return QSslCertificate::fromPath(DovecotFixture::instance().caFile());
}

std::unique_ptr<ImapClient> connected(const QList<QSslCertificate> &cas = testCa())
{
    auto &server = DovecotFixture::instance();
    auto client = std::make_unique<ImapClient>();
    client->setSsl(true);
    client->setPort(server.port());
    client->setExtraCaCertificates(cas);
    client->setTimeoutMs(20000);
    EXPECT_EQ(client->connect(server.host()), 1) << client->lastErrorText().toStdString();
    return client;
}

std::unique_ptr<ImapClient> signedIn(const DovecotFixture::Account &account)
{
    auto client = connected();
    EXPECT_FALSE(client->sendRawCommand(u"ID (\"GUID\" \"1\")"_qs).isEmpty());
    EXPECT_EQ(client->login(account.user, account.password), 1) << client->lastErrorText().toStdString();
    return client;
}

// INBOX: a plain message, a multipart/alternative one, a third plain one; "Entwürfe": two.
const DovecotFixture::Account &mixedAccount()
{
    static const auto account = DovecotFixture::instance().createAccount(
        {{u"INBOX"_qs,
          {message("Ann Example <ann@example.org>", "First", "one"), alternative(),
           message("carl@example.net", "Third", "three")}},
         {u"Entwürfe"_qs, {message("d@example.org", "Draft A", "a"), message("d@example.org", "Draft B", "b")}},
         {u"Archive/2021"_qs, {}},
         {u"Tom & Jerry"_qs, {message("t@example.org", "Cartoon", "c")}}});
    return account;
}

QStringList names(const MailboxList &list)
{
    QStringList out;
    for (int i = 0; i < list.count(); ++i)
        out.append(list.name(i));
    return out;
}

} // namespace

TEST(ImapDovecot, ConnectIdAndLogin)
{
    const auto account = DovecotFixture::instance().seededAccount();
    auto client = connected();
    const QString id = client->sendRawCommand(u"ID (\"GUID\" \"1\")"_qs);
    EXPECT_THAT(id.toStdString(), testing::StartsWith("* ID ("));
    EXPECT_THAT(id.toStdString(), testing::HasSubstr("\r\nA1 OK"));
    EXPECT_EQ(client->login(account.user, account.password), 1) << client->lastErrorText().toStdString();
    EXPECT_TRUE(client->isConnected());
    EXPECT_FALSE(client->lastErrorText().contains(account.password));
}

TEST(ImapDovecot, WrongPasswordFailsWithoutShowingIt)
{
    const auto account = DovecotFixture::instance().seededAccount();
    auto client = connected();
    const QString wrong = u"Wr0ng-\"pass\\word"_qs;
    EXPECT_EQ(client->login(account.user, wrong), 0);
    const QString error = client->lastErrorText();
    EXPECT_THAT(error.toStdString(), testing::HasSubstr("AUTHENTICATIONFAILED"));
    EXPECT_TRUE(error.contains(account.user));
    EXPECT_THAT(error.toStdString(), testing::Not(testing::HasSubstr("Wr0ng")));
    EXPECT_TRUE(client->isConnected()); // still connected at the transport level
    EXPECT_EQ(client->login(account.user, account.password), 1) << client->lastErrorText().toStdString();
}

TEST(ImapDovecot, PasswordsWithQuotesBackslashesAndNonAscii)
{
    for (const QString &password : {u"a \"quoted\" \\ one"_qs, u"pässwörd-€"_qs}) {
        const auto account = DovecotFixture::instance().createAccount({}, password);
        auto client = connected();
        EXPECT_EQ(client->login(account.user, password), 1) << client->lastErrorText().toStdString();
        EXPECT_FALSE(client->lastErrorText().contains(password));
    }
}

TEST(ImapDovecot, ListKeepsServerOrderAndWholeNames)
{
    auto seeded = signedIn(DovecotFixture::instance().seededAccount());
    const auto seededList = seeded->listMailboxes(QString(), u"*"_qs);
    ASSERT_NE(seededList, nullptr) << seeded->lastErrorText().toStdString();
    EXPECT_EQ(names(*seededList), DovecotFixture::instance().seededFolders());

    auto client = signedIn(mixedAccount());
    const auto list = client->listMailboxes(QString(), u"*"_qs);
    ASSERT_NE(list, nullptr) << client->lastErrorText().toStdString();
    const QStringList got = names(*list);
    for (const QString &name : {u"INBOX"_qs, u"Entwürfe"_qs, u"Archive"_qs, u"Archive/2021"_qs, u"Tom & Jerry"_qs})
        EXPECT_TRUE(got.contains(name)) << name.toStdString() << " in " << got.join(u'|').toStdString();
    // The same order as the raw answer's lines.
    const QString raw = client->sendRawCommand(u"LIST \"\" \"*\""_qs);
    EXPECT_EQ(got.indexOf(u"Entwürfe"_qs) < got.indexOf(u"Tom & Jerry"_qs),
              raw.indexOf(u"Entw&APw-rfe"_qs) < raw.indexOf(u"Tom &- Jerry"_qs));
}

TEST(ImapDovecot, SelectAndCount)
{
    auto client = signedIn(mixedAccount());
    EXPECT_EQ(client->selectMailbox(u"INBOX"_qs), 1) << client->lastErrorText().toStdString();
    EXPECT_EQ(client->messageCount(), 3);
    EXPECT_EQ(client->selectMailbox(u"Entwürfe"_qs), 1) << client->lastErrorText().toStdString();
    EXPECT_TRUE(client->lastErrorText().contains(u"SELECT \"Entw&APw-rfe\""_qs));
    EXPECT_EQ(client->messageCount(), 2);
    EXPECT_EQ(client->selectMailbox(u"Tom & Jerry"_qs), 1) << client->lastErrorText().toStdString();
    EXPECT_EQ(client->messageCount(), 1);
    EXPECT_EQ(client->selectMailbox(u"Archive/2021"_qs), 1);
    EXPECT_EQ(client->messageCount(), 0);
    EXPECT_EQ(client->selectMailbox(u"No such folder"_qs), 0);
    EXPECT_THAT(client->lastErrorText().toStdString(), testing::HasSubstr(" NO "));
    EXPECT_EQ(client->messageCount(), 0);
}

TEST(ImapDovecot, CountFollowsNewMessages)
{
    const auto account = DovecotFixture::instance().createAccount({{u"INBOX"_qs, {message("a@b.c", "x", "y")}}});
    auto client = signedIn(account);
    ASSERT_EQ(client->selectMailbox(u"INBOX"_qs), 1);
    EXPECT_EQ(client->messageCount(), 1);
    DovecotFixture::instance().appendMessage(account, u"INBOX"_qs, message("a@b.c", "new", "z"));
    EXPECT_FALSE(client->sendRawCommand(u"NOOP"_qs).isEmpty());
    EXPECT_EQ(client->messageCount(), 2);
}

TEST(ImapDovecot, FetchEveryMessageWithoutMarkingItRead)
{
    auto client = signedIn(mixedAccount());
    ASSERT_EQ(client->selectMailbox(u"INBOX"_qs), 1);
    QList<int> percents;
    QObject::connect(client.get(), &ImapClient::percentDone, [&](int p) { percents.append(p); });

    const auto first = client->fetchSingle(1, false);
    ASSERT_NE(first, nullptr) << client->lastErrorText().toStdString();
    EXPECT_EQ(first->Subject, u"First"_qs);
    EXPECT_EQ(first->FromName, u"Ann Example"_qs);
    EXPECT_EQ(first->FromAddress, u"ann@example.org"_qs);
    EXPECT_TRUE(first->PlainTextBody.startsWith(u"one"_qs));
    EXPECT_TRUE(first->HTMLTextBody.isEmpty());
    ASSERT_FALSE(percents.isEmpty());
    EXPECT_EQ(percents.last(), 100);
    for (qsizetype i = 1; i < percents.size(); ++i)
        EXPECT_NE(percents[i], percents[i - 1]);

    const auto second = client->fetchSingle(2, false);
    ASSERT_NE(second, nullptr) << client->lastErrorText().toStdString();
    EXPECT_EQ(second->Subject, u"Grüße"_qs);
    EXPECT_EQ(second->FromAddress, u"bo@example.de"_qs);
    EXPECT_TRUE(second->PlainTextBody.contains(u"Viele Grüße"_qs));
    EXPECT_TRUE(second->HTMLTextBody.contains(u"<p>"_qs));

    const auto third = client->fetchSingle(3, false);
    ASSERT_NE(third, nullptr);
    EXPECT_EQ(third->FromAddress, u"carl@example.net"_qs);
    EXPECT_TRUE(client->lastErrorText().contains(u"BODY.PEEK[]"_qs));

    const QString flags = client->sendRawCommand(u"FETCH 1:* (FLAGS)"_qs);
    EXPECT_EQ(flags.count(u"FLAGS ("_qs), 3) << flags.toStdString();
    EXPECT_THAT(flags.toStdString(), testing::Not(testing::HasSubstr("\\Seen")));

    EXPECT_EQ(client->fetchSingle(4, false), nullptr);
    EXPECT_THAT(client->lastErrorText().toStdString(), testing::HasSubstr("FETCH 4"));
    EXPECT_EQ(client->fetchSingle(0, false), nullptr);
    EXPECT_TRUE(client->isConnected());
}

TEST(ImapDovecot, FetchByUid)
{
    auto client = signedIn(mixedAccount());
    ASSERT_EQ(client->selectMailbox(u"Entwürfe"_qs), 1);
    const QString uids = client->sendRawCommand(u"FETCH 2 (UID)"_qs);
    const qsizetype at = uids.indexOf(u"UID "_qs);
    ASSERT_GE(at, 0) << uids.toStdString();
    const int uid = uids.mid(at + 4).section(u')', 0, 0).toInt();
    const auto email = client->fetchSingle(uid, true);
    ASSERT_NE(email, nullptr) << client->lastErrorText().toStdString();
    EXPECT_EQ(email->Subject, u"Draft B"_qs);
    EXPECT_EQ(client->fetchSingle(uid + 100, true), nullptr);
}

TEST(ImapDovecot, FetchTheSeededInbox)
{
    auto &server = DovecotFixture::instance();
    const auto seed = DovecotFixture::loadSeedData();
    auto client = signedIn(server.seededAccount());
    ASSERT_EQ(client->selectMailbox(u"INBOX"_qs), 1);
    QList<QByteArray> expected;
    for (const auto &folder : seed)
        if (folder.name == u"INBOX"_qs)
            expected = folder.messages;
    ASSERT_FALSE(expected.isEmpty());
    ASSERT_EQ(client->messageCount(), expected.size());
    QList<Email> fetched;
    for (int n = 1; n <= expected.size(); ++n) {
        const auto email = client->fetchSingle(n, false);
        ASSERT_NE(email, nullptr) << n << client->lastErrorText().toStdString();
        // The server hands back the bytes that were stored: compare with a direct read.
        const Email direct = ReadEmail(expected[n - 1], email->Date);
        EXPECT_EQ(email->From, direct.From) << n;
        EXPECT_EQ(email->Subject, direct.Subject) << n;
        EXPECT_EQ(email->PlainTextBody, direct.PlainTextBody) << n;
        EXPECT_EQ(email->HTMLTextBody, direct.HTMLTextBody) << n;
        EXPECT_TRUE(email->Date.isValid()) << n;
        fetched.append(*email);
    }
    ASSERT_GE(fetched.size(), 9);
    EXPECT_EQ(fetched[0].FromAddress, u"alice.martin@example.com"_qs);
    EXPECT_EQ(fetched[0].Subject, u"hello"_qs);
    EXPECT_TRUE(fetched[0].PlainTextBody.contains(u"Just saying hello."_qs));
    EXPECT_EQ(fetched[3].Subject, u"Grüße aus München"_qs);
    EXPECT_TRUE(fetched[6].PlainTextBody.isEmpty());
    EXPECT_TRUE(fetched[6].HTMLTextBody.contains(u"invoice"_qs));
    // No Date header: the server's INTERNALDATE stands in.
    EXPECT_EQ(fetched[8].Date.toUTC(), QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5), QTimeZone::utc()));
    EXPECT_FALSE(client->sendRawCommand(u"FETCH 1:* (FLAGS)"_qs).contains(u"\\Seen"_qs));
}

TEST(ImapDovecot, ARunReadingAheadGivesTheSameMessagesAndYieldsToANestedCall)
{
    auto &server = DovecotFixture::instance();
    auto reference = signedIn(server.seededAccount());
    auto client = signedIn(server.seededAccount());
    reference->setReadAhead(0, 0);
    ASSERT_EQ(reference->selectMailbox(u"INBOX"_qs), 1);
    ASSERT_EQ(client->selectMailbox(u"INBOX"_qs), 1);
    const int count = client->messageCount();
    ASSERT_GE(count, 12);
    auto same = [&](const Email &email, int n) {
        const auto alone = reference->fetchSingle(n, false);
        ASSERT_NE(alone, nullptr) << n;
        EXPECT_EQ(email.From, alone->From) << n;
        EXPECT_EQ(email.Subject, alone->Subject) << n;
        EXPECT_EQ(email.PlainTextBody, alone->PlainTextBody) << n;
        EXPECT_EQ(email.HTMLTextBody, alone->HTMLTextBody) << n;
        EXPECT_EQ(email.Date, alone->Date) << n;
    };

    // A nested call in the middle of the run: the outer fetch fails cleanly, the nested one and
    // the fetches after it (no longer a run) still get their own messages.
    const int nestedAt = 6;
    std::unique_ptr<Email> nested;
    bool nestedStarted = false;
    int fetching = 0;
    QObject::connect(client.get(), &ImapClient::percentDone, [&](int) {
        if (fetching == nestedAt && !nestedStarted) {
            nestedStarted = true;
            nested = client->fetchSingle(10, false);
        }
    });
    client->expectSequentialFetches(1, count);
    for (int n = 1; n <= count; ++n) {
        fetching = n;
        const auto email = client->fetchSingle(n, false);
        if (n == nestedAt) {
            EXPECT_EQ(email, nullptr);
            EXPECT_THAT(client->lastErrorText().toStdString(), testing::HasSubstr("interrupted"));
            ASSERT_NE(nested, nullptr);
            fetching = 0;
            same(*nested, 10);
            continue;
        }
        ASSERT_NE(email, nullptr) << n << client->lastErrorText().toStdString();
        same(*email, n);
    }
    EXPECT_FALSE(client->sendRawCommand(u"FETCH 1:* (FLAGS)"_qs).contains(u"\\Seen"_qs));
}

TEST(ImapDovecot, AbortDuringAFetchKeepsTheInstanceUsable)
{
    QByteArray big = "From: big@example.org\r\nSubject: Big\r\n\r\n";
    const QByteArray line(998, 'x');
    while (big.size() < 8 * 1024 * 1024)
        big += line + "\r\n";
    const auto account = DovecotFixture::instance().createAccount(
        {{u"INBOX"_qs, {big, message("small@example.org", "Small", "s")}}});
    auto client = signedIn(account);
    ASSERT_EQ(client->selectMailbox(u"INBOX"_qs), 1);

    QList<int> percents;
    bool stop = false;
    auto progress = QObject::connect(client.get(), &ImapClient::percentDone, [&](int p) {
        percents.append(p);
        stop = p > 0;
    });
    auto poll = QObject::connect(client.get(), &ImapClient::abortCheck, [&](bool &abort) { abort = stop; });
    EXPECT_EQ(client->fetchSingle(1, false), nullptr);
    EXPECT_THAT(client->lastErrorText().toStdString(), testing::EndsWith("aborted"));
    ASSERT_FALSE(percents.isEmpty());
    EXPECT_LT(percents.last(), 100);

    // Every call asked to abort gives up; once the poll says no, the same connection works on.
    EXPECT_EQ(client->fetchSingle(2, false), nullptr);
    stop = false;
    QObject::disconnect(progress);
    QObject::disconnect(poll);
    const auto small = client->fetchSingle(2, false);
    ASSERT_NE(small, nullptr) << client->lastErrorText().toStdString();
    EXPECT_EQ(small->Subject, u"Small"_qs);
    const auto whole = client->fetchSingle(1, false);
    ASSERT_NE(whole, nullptr) << client->lastErrorText().toStdString();
    EXPECT_EQ(whole->Subject, u"Big"_qs);
}

TEST(ImapDovecot, CallsStartedWhileACallWaits)
{
    auto client = signedIn(mixedAccount());
    ASSERT_EQ(client->selectMailbox(u"INBOX"_qs), 1);

    // A second fetch from inside the first one's wait: the outer fails, the inner gets its message.
    std::unique_ptr<Email> inner;
    bool started = false;
    auto poll = QObject::connect(client.get(), &ImapClient::abortCheck, [&](bool &) {
        if (std::exchange(started, true))
            return;
        inner = client->fetchSingle(3, false);
    });
    EXPECT_EQ(client->fetchSingle(1, false), nullptr);
    EXPECT_TRUE(client->lastErrorText().contains(u"interrupted by another command"_qs))
        << client->lastErrorText().toStdString();
    ASSERT_NE(inner, nullptr);
    EXPECT_EQ(inner->Subject, u"Third"_qs);
    QObject::disconnect(poll);
    const auto after = client->fetchSingle(1, false);
    ASSERT_NE(after, nullptr) << client->lastErrorText().toStdString();
    EXPECT_EQ(after->Subject, u"First"_qs);

    // A new connection from inside a wait replaces the old one under the outer call.
    started = false;
    int innerConnect = -1;
    poll = QObject::connect(client.get(), &ImapClient::abortCheck, [&](bool &) {
        if (!std::exchange(started, true))
            innerConnect = client->connect(DovecotFixture::instance().host());
    });
    EXPECT_EQ(client->listMailboxes(QString(), u"*"_qs), nullptr);
    EXPECT_EQ(innerConnect, 1);
    QObject::disconnect(poll);
    EXPECT_TRUE(client->isConnected());
    EXPECT_EQ(client->login(mixedAccount().user, mixedAccount().password), 1) << client->lastErrorText().toStdString();

    // A disconnect from inside a wait.
    started = false;
    poll = QObject::connect(client.get(), &ImapClient::abortCheck, [&](bool &) {
        if (!std::exchange(started, true))
            client->disconnect();
    });
    EXPECT_EQ(client->selectMailbox(u"INBOX"_qs), 0);
    QObject::disconnect(poll);
    EXPECT_FALSE(client->isConnected());
    EXPECT_TRUE(client->sendRawCommand(u"NOOP"_qs).isEmpty());
}

TEST(ImapDovecot, CertificateChecks)
{
    auto &server = DovecotFixture::instance();
    struct Case {
        const char *name;
        QString host;
        QList<QSslCertificate> cas;
    };
    const QList<Case> cases = {
        {"no CA", server.host(), {}},
        {"wrong CA", server.host(), QSslCertificate::fromPath(server.untrustedCaFile())},
        {"host name mismatch", u"127.0.0.1"_qs, testCa()},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ImapClient client;
        client.setSsl(true);
        client.setPort(server.port());
        client.setExtraCaCertificates(c.cas);
        EXPECT_EQ(client.connect(c.host), 0);
        EXPECT_TRUE(client.lastErrorText().contains(u"certificate"_qs, Qt::CaseInsensitive))
            << client.lastErrorText().toStdString();
        EXPECT_FALSE(client.isConnected());
    }
}

TEST(ImapDovecot, PlainPort)
{
    auto &server = DovecotFixture::instance();
    ImapClient tlsToPlain;
    tlsToPlain.setSsl(true);
    tlsToPlain.setPort(server.plainPort());
    tlsToPlain.setExtraCaCertificates(testCa());
    tlsToPlain.setTimeoutMs(5000);
    EXPECT_EQ(tlsToPlain.connect(server.host()), 0);
    EXPECT_FALSE(tlsToPlain.lastErrorText().isEmpty());

    ImapClient plain;
    plain.setSsl(false);
    plain.setPort(server.plainPort());
    ASSERT_EQ(plain.connect(server.host()), 1) << plain.lastErrorText().toStdString();
    EXPECT_TRUE(plain.lastErrorText().contains(u"plain TCP"_qs));
    const auto account = server.seededAccount();
    EXPECT_EQ(plain.login(account.user, account.password), 1) << plain.lastErrorText().toStdString();
}

TEST(ImapDovecot, MessagesReadAheadHoldNoMoreThanTheByteBound)
{
    // Small messages first make the run's average small, so many big ones are asked for at
    // once; while the reader is busy elsewhere, they must wait on the server's side.
    constexpr int Small = 2;
    constexpr int Big = 160;
    const QByteArray bigBody = QByteArray(256 << 10, 'b').replace(0, 1, "B");
    QList<QByteArray> messages;
    for (int n = 1; n <= Small + Big; ++n)
        messages << message("bulk@example.org", "Message " + QByteArray::number(n), n <= Small ? "small" : bigBody);
    const auto account = DovecotFixture::instance().createAccount({{u"INBOX"_qs, messages}});
    auto client = signedIn(account);
    constexpr qint64 Bound = qint64(1) << 20;
    client->setReadAhead(1000, Bound);
    ASSERT_EQ(client->selectMailbox(u"INBOX"_qs), 1);
    ASSERT_EQ(client->messageCount(), Small + Big);

    const qint64 baselineKb = ResidentKb();
    ResetPeakResident();
    client->expectSequentialFetches(1, Small + Big);
    for (int n = 1; n <= Small + Big; ++n) {
        const auto email = client->fetchSingle(n, false);
        ASSERT_NE(email, nullptr) << n << client->lastErrorText().toStdString();
        EXPECT_EQ(email->Subject, u"Message %1"_qs.arg(n));
        if (n > Small) {
            EXPECT_EQ(email->PlainTextBody.size(), bigBody.size() + 1) << n; // the body's own line end
        }
        // The session yields to the window between messages; everything asked for could arrive.
        QTest::qWait(n <= Small ? 300 : 5);
    }
    const qint64 growth = (PeakResidentKb() - baselineKb) * 1024;
    const qint64 asked = qint64(Big) * bigBody.size();
    std::printf("read ahead: %.1f MB asked for at once, peak memory growth %.1f MB with a %.1f MB bound\n",
                double(asked) / (1 << 20), double(growth) / (1 << 20), double(Bound) / (1 << 20));
    // The socket's buffer, the answers parsed ahead, the message being read and the allocator's
    // slack: a fraction of what was asked for, which would all be held without the bound.
    EXPECT_LT(growth, asked / 2);
}
