#include "devserver/dovecotfixture.h"
#include "devserver/testcertificates.h"
#include "imap/imapclient.h"
#include "mail/clschilkatimap.h"
#include "mail/errorlog.h"
#include "mail/sessionfactory.h"
#include "support/startup.h"
#include "tests/common/fakeimapserver.h"
#include "tests/common/fakemailbox.h"
#include "tests/common/printers.h"
#include "tests/common/scriptedmessages.h"

#include <QFile>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTimer>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <memory>
#include <numeric>

namespace {
const QString InvalidLogin = QStringLiteral("Invalid login. Please double-check your username and password.\r\n\r\n");

struct Listing {
    QString From, Subject, ReceivedDate, PlainTextBody;
    qint32 uID;
};

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetApplicationTitle();
        ASSERT_TRUE(logDir.isValid());
        qputenv("TEMP", logDir.path().toLocal8Bit());
        component.setExtraCaCertificates(QSslCertificate::fromPath(server().caFile()));
        component.setTimeoutMs(10000);
    }
    void TearDown() override { qunsetenv("TEMP"); }

    static DovecotFixture &server() { return DovecotFixture::instance(); }

    std::shared_ptr<clsChilkatIMAP> session(const DovecotFixture::Account &account, int port = -1,
                                            const QString &host = u"localhost"_qs)
    {
        auto s = NewSession(&component, host, port < 0 ? server().port() : port, account.user,
                            account.password);
        QObject::connect(s.get(), &clsChilkatIMAP::MailExtractListing, s.get(),
                         [this](QString &From, QString &, QString &, QString &Subject, QString &ReceivedDate,
                                QString &PlainTextBody, QString &, qint32 &uID) {
                             listings.append({From, Subject, ReceivedDate, PlainTextBody, uID});
                         });
        return s;
    }

    QStringList logLines() const
    {
        QFile log(logDir.filePath(QStringLiteral("errorlog.txt")));
        if (!log.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromUtf8(log.readAll()).split(QStringLiteral("\r\n"));
        lines.removeLast(); // after the last CR LF
        return lines;
    }

    QTemporaryDir logDir;
    ScriptedMessages boxes;
    ImapClient component;
    QList<Listing> listings;
};
} // namespace

TEST_F(SessionTest, ConnectSignsInAndListsEveryFolderInTheServersOrder)
{
    auto s = session(server().seededAccount());
    ASSERT_TRUE(s->Connect());
    EXPECT_TRUE(boxes.shown.isEmpty());

    const std::optional<QStringList> folders = s->EnumMailFolders();
    ASSERT_TRUE(folders.has_value());
    EXPECT_EQ(*folders, server().seededFolders());
    EXPECT_TRUE(folders->contains(QStringLiteral("Archive/2021")));
    EXPECT_TRUE(folders->contains(QStringLiteral("Entwürfe")));
}

TEST_F(SessionTest, RefusedSignInShowsOneMessageAndReturnsFalse)
{
    DovecotFixture::Account wrong = server().seededAccount();
    wrong.password += QStringLiteral("-wrong");
    auto s = session(wrong);
    EXPECT_FALSE(s->Connect());
    ASSERT_EQ(boxes.messages(), QStringList{InvalidLogin});
    EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("Quorvane"));
    EXPECT_FALSE(component.lastErrorText().contains(wrong.password));
}

TEST_F(SessionTest, PropertiesNeverSetFailWithTheMessage)
{
    clsChilkatIMAP s;
    s.setChilkatIMAPObject(&component);
    EXPECT_FALSE(s.Connect());
    EXPECT_EQ(boxes.messages(), QStringList{InvalidLogin + u"The connection could not be made."_qs});
}

TEST_F(SessionTest, EmptyAnswerToIdIsAFailureAndNoLoginIsSent)
{
    FakeImapServer fake(QStringLiteral("S: * OK fake ready\n"
                                       "C: * ID *\n"
                                       "CLOSE\n"));
    auto s = session({QStringLiteral("ann"), QStringLiteral("pw")}, fake.port());
    EXPECT_FALSE(s->Connect());
    EXPECT_EQ(boxes.messages(), QStringList{InvalidLogin + u"The connection to the server was lost."_qs});
    for (const QString &line : fake.clientLines())
        EXPECT_FALSE(line.contains(QStringLiteral("LOGIN"), Qt::CaseInsensitive)) << line.toStdString();
}

TEST_F(SessionTest, TotalOfAFolderAndOfOneThatCannotBeSelected)
{
    auto s = session(server().seededAccount());
    ASSERT_TRUE(s->Connect());
    EXPECT_GT(s->GetTotalMessage(QStringLiteral("Bulk")), 10);
    EXPECT_TRUE(boxes.shown.isEmpty());
    EXPECT_EQ(s->GetTotalMessage(QStringLiteral("No Such Folder")), 0);
    EXPECT_EQ(boxes.messages(), QStringList{InvalidLogin});
}

TEST_F(SessionTest, ExtractionReportsEachMessageOfTheRangeInOrderAndLogsEveryFetch)
{
    auto s = session(server().seededAccount());
    ASSERT_TRUE(s->Connect());
    const qint32 total = s->GetTotalMessage(QStringLiteral("Bulk"));
    ASSERT_GE(total, 5);

    // Two numbers beyond the folder's end: skipped, but logged.
    s->setCurrentLocation(total - 2);
    s->setMaxRecord(total + 2);
    s->StartMailExtraction(QStringLiteral("Bulk"));

    ASSERT_EQ(listings.size(), 3);
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(listings[k].uID, total - 2 + k);
    EXPECT_FALSE(listings[0].From.isEmpty());
    EXPECT_FALSE(listings[0].ReceivedDate.isEmpty());
    EXPECT_EQ(s->CurrentLocation(), total + 2);
    EXPECT_TRUE(boxes.shown.isEmpty());

    // One entry per fetch; the component's text after " : " may span several lines.
    const QStringList lines = logLines();
    EXPECT_EQ(lines.count(QString(52, QLatin1Char('*'))), 5);
    EXPECT_TRUE(lines.first().contains(QStringLiteral(" : ")));
    EXPECT_EQ(lines.last(), QString(52, QLatin1Char('*')));
    EXPECT_FALSE(logLines().join(QString()).contains(server().seededAccount().password));
}

TEST_F(SessionTest, EmptyOrReversedRangeSignsInAndSelectsButFetchesNothing)
{
    auto s = session(server().seededAccount());
    s->setCurrentLocation(5);
    s->setMaxRecord(4);
    s->StartMailExtraction(QStringLiteral("Bulk"));
    EXPECT_TRUE(listings.isEmpty());
    EXPECT_TRUE(logLines().isEmpty());
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST_F(SessionTest, FailedSignInAtTheStartOfExtractionShowsBothMessages)
{
    DovecotFixture::Account wrong = server().seededAccount();
    wrong.password = QStringLiteral("nope");
    auto s = session(wrong);
    s->setCurrentLocation(1);
    s->setMaxRecord(3);
    s->StartMailExtraction(QStringLiteral("Bulk"));
    EXPECT_EQ(boxes.messages(),
              (QStringList{InvalidLogin, QStringLiteral("Connection failed. Check username and password.")}));
    EXPECT_TRUE(listings.isEmpty());
}

TEST_F(SessionTest, StopEndsTheRunBeforeTheNextMessageIsReported)
{
    auto s = session(server().seededAccount());
    QObject::connect(s.get(), &clsChilkatIMAP::MailExtractListing, s.get(),
                     [this, raw = s.get()](QString &, QString &, QString &, QString &, QString &, QString &,
                                           QString &, qint32 &) {
                         if (listings.size() == 3)
                             raw->AbortProcess = true;
                     });
    s->setCurrentLocation(1);
    s->setMaxRecord(10);
    s->StartMailExtraction(QStringLiteral("Bulk"));
    EXPECT_EQ(listings.size(), 3);
    EXPECT_TRUE(s->AbortProcess);
}

TEST_F(SessionTest, SignInFailureNamesItsReasonButNeverThePassword)
{
    const TestCertificates &certs = TestCertificates::instance();
    const QString password = u"Sec-r3t pw"_qs;
    FakeImapServer expired(u"S: * OK ready\n"_qs);
    expired.setCertificate(certs.expiredCertFile());
    FakeImapServer selfSigned(u"S: * OK ready\n"_qs);
    selfSigned.setCertificate(certs.selfSignedCertFile());
    FakeImapServer plain(u"S: * OK plain\n"_qs, FakeImapServer::Transport::Plain);
    FakeImapServer silent(u"STALL\n"_qs);
    // It names the password it refuses.
    FakeImapServer refusing(u"S: * OK ready\nC: * ID *\nS: $TAG OK ID completed\nC: * LOGIN *\n"
                            "S: $TAG NO [AUTHENTICATIONFAILED] Sec-r3t pw is not ann's password\n"_qs);
    int closedPort = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost));
        closedPort = probe.serverPort();
    }
    const struct {
        const char *name;
        QString host;
        int port;
        QString reason; // the line after the message's two line breaks
    } cases[] = {
        {"expired", expired.host(), expired.port(), u"The server's certificate has expired."_qs},
        {"self-signed", selfSigned.host(), selfSigned.port(),
         u"The server's certificate is not trusted: it is self-signed or from an unknown issuer."_qs},
        {"wrong host", u"127.0.0.1"_qs, refusing.port(),
         u"The server's certificate is made out for another host than 127.0.0.1."_qs},
        {"plain TCP on the TLS port", plain.host(), plain.port(),
         u"The secure connection (TLS handshake) with localhost on port %1 failed."_qs.arg(plain.port())},
        {"nothing listens", u"localhost"_qs, closedPort, u"localhost refused the connection on port %1."_qs.arg(closedPort)},
        {"unknown host", u"nonexistent.invalid"_qs, 993, u"The server nonexistent.invalid could not be found."_qs},
        {"silence", silent.host(), silent.port(), u"The server did not answer in time."_qs},
        {"refused login", refusing.host(), refusing.port(), QString()},
    };
    component.setTimeoutMs(2000);
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        boxes.clear();
        auto s = session({u"ann"_qs, password}, c.port, c.host);
        EXPECT_FALSE(s->Connect());
        EXPECT_EQ(boxes.messages(), QStringList{InvalidLogin + c.reason});
        const QStringList log = logLines();
        ASSERT_GE(log.size(), 2);
        EXPECT_THAT(log[log.size() - 2].toStdString(), testing::EndsWith(c.reason.toStdString()));
        EXPECT_FALSE(component.lastErrorText().contains(password));
    }
    EXPECT_TRUE(refusing.scriptDone()) << "the password was sent to be refused";
    EXPECT_FALSE(logLines().join(QString()).contains(password));
}

TEST_F(SessionTest, AThousandFailuresInARowAreLoggedThenOnlyCounted)
{
    // The largest count there is, and not one message to be had.
    QString script = FakeSignIn() + FakeSelect(2147483647);
    for (int n = 1; n <= 1500; ++n)
        script += u"C: * FETCH %1 *\nS: $TAG NO Message unavailable\n"_qs.arg(n);
    FakeImapServer fake(script);
    component.setReadAhead(0, 0); // one whole message at a time, as the script answers
    auto s = session({u"ann"_qs, u"pw"_qs}, fake.port());
    s->setCurrentLocation(1);
    s->setMaxRecord(2147483647);
    int ticks = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        ++ticks;
        s->AbortProcess = s->CurrentLocation() > 1500; // Stop once the server has no more answers
    });
    ticker.start(0);
    s->StartMailExtraction(u"INBOX"_qs);
    EXPECT_TRUE(listings.isEmpty());
    EXPECT_GT(ticks, 0);
    const QStringList lines = logLines();
    EXPECT_EQ(lines.count(QString(52, QLatin1Char('*'))), 1000 + 2);
    EXPECT_EQ(lines.filter(u" : 1000 fetches in a row have failed."_qs).size(), 1);
    EXPECT_TRUE(lines.last(2).first().endsWith(u" : 501 more fetches failed in a row and were not logged one by one."_qs))
        << lines.mid(lines.size() - 8).join(u"\n"_qs).toStdString();
}

TEST_F(SessionTest, ARunGoesOnWhenTheServerIsRestartedMidRun)
{
    QList<QByteArray> messages;
    for (int n = 1; n <= 30; ++n)
        messages.append(u"From: s%1@example.org\r\nSubject: message %1\r\n\r\nbody %1\r\n"_qs.arg(n).toUtf8());
    const DovecotFixture::Account account = server().createAccount({{u"INBOX"_qs, messages}});
    // Only a few messages travel ahead of the one handed over, so most are still to be asked for.
    component.setReadAhead(3, ImapClient::DefaultReadAheadBytes);
    auto s = session(account);
    QObject::connect(s.get(), &clsChilkatIMAP::MailExtractListing, s.get(),
                     [](QString &, QString &, QString &, QString &, QString &, QString &, QString &, qint32 &uID) {
                         if (uID != 5)
                             return;
                         // Down when the run next needs it; back while the run pauses between tries.
                         server().stop();
                         QTimer::singleShot(1000, [] { server().start(); });
                     });
    s->setCurrentLocation(1);
    s->setMaxRecord(30);
    s->StartMailExtraction(u"INBOX"_qs);
    QList<qint32> ids;
    for (const Listing &listing : std::as_const(listings))
        ids.append(listing.uID);
    QList<qint32> all(30);
    std::iota(all.begin(), all.end(), 1);
    EXPECT_EQ(ids, all);
    EXPECT_EQ(s->extractionTally().unread, 0);
    EXPECT_TRUE(boxes.shown.isEmpty()) << boxes.messages().join(u"|"_qs).toStdString();
    const QStringList lines = logLines();
    EXPECT_EQ(lines.count(QString(52, QLatin1Char('*'))), 30) << lines.join(u"\n"_qs).toStdString();
    EXPECT_FALSE(lines.filter(u"Signed in again"_qs).isEmpty());
}
