#include "imap/imapclient.h"
#include "mail/clschilkatimap.h"
#include "mail/errorlog.h"
#include "tests/common/dovecotfixture.h"
#include "tests/common/fakeimapserver.h"
#include "support/startup.h"
#include "tests/common/scriptedmessages.h"

#include <QFile>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

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

    std::shared_ptr<clsChilkatIMAP> session(const DovecotFixture::Account &account, int port = -1)
    {
        auto s = std::make_shared<clsChilkatIMAP>();
        s->setChilkatIMAPObject(&component);
        s->setSSL(true);
        s->setPORT(port < 0 ? server().port() : port);
        s->setIMAPServer(server().host());
        s->setUsername(account.user);
        s->setPassword(account.password);
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
    EXPECT_EQ(boxes.messages(), QStringList{InvalidLogin});
}

TEST_F(SessionTest, EmptyAnswerToIdIsAFailureAndNoLoginIsSent)
{
    FakeImapServer fake(QStringLiteral("S: * OK fake ready\n"
                                       "C: * ID *\n"
                                       "CLOSE\n"));
    auto s = session({QStringLiteral("ann"), QStringLiteral("pw")}, fake.port());
    EXPECT_FALSE(s->Connect());
    EXPECT_EQ(boxes.messages(), QStringList{InvalidLogin});
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
