// Where the password may go and where it must not: the error log, the boxes the user sees,
// the settings file without "Remember me", and the screen.
#include "devserver/dovecotfixture.h"
#include "devserver/scratchdir.h"
#include "tests/common/envguard.h"
#include "tests/common/form1harness.h"
#include "tests/common/printers.h"
#include "tests/common/scriptedmessages.h"
#include "tests/common/wait.h"

#include <QDir>
#include <QFile>
#include <QTest>
#include <QAbstractItemView>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace Form1Harness;

namespace {

// Quotes and a backslash make the client escape it on the wire; the marker survives any escaping.
const QString Marker = QStringLiteral("Zq7marker");
const QString Password = QStringLiteral("pa\"ss\\w-") + Marker + QStringLiteral("-x");

QList<QByteArray> messages(int count)
{
    QList<QByteArray> raw;
    for (int n = 1; n <= count; ++n)
        raw << "From: Sender <s@x.example>\r\nSubject: message " + QByteArray::number(n)
                + "\r\nDate: Tue, 31 Aug 2021 15:45:12 +0000\r\n\r\nbody\r\n";
    return raw;
}

class Credentials : public ::testing::Test {
protected:
    void SetUp() override
    {
        clearSettings();
        qputenv("QUORVANE_PING_HOST", "127.0.0.1");
        DovecotFixture::instance().exportEnvironment();
        qputenv("TEMP", QFile::encodeName(temp));
        account = DovecotFixture::instance().createAccount({{QStringLiteral("Work"), messages(3)}}, Password);
    }
    void TearDown() override { QDir(temp).removeRecursively(); }

    // Every place the password must never reach, checked at once.
    void expectNowhere(const char *when) const
    {
        SCOPED_TRACE(when);
        for (const ScriptedMessages::Shown &box : boxes.shown)
            EXPECT_THAT(box.text.toStdString(), testing::Not(testing::HasSubstr(Marker.toStdString())));
        QFile log(QDir(temp).filePath(QStringLiteral("errorlog.txt")));
        const QString logText = log.open(QIODevice::ReadOnly) ? QString::fromUtf8(log.readAll()) : QString();
        EXPECT_THAT(logText.toStdString(), testing::Not(testing::HasSubstr(Marker.toStdString())));
        EXPECT_THAT(settingsFileText().toStdString(), testing::Not(testing::HasSubstr(Marker.toStdString())));
    }

    EnvGuard tempGuard{"TEMP"};
    const QString temp = MakeScratchDir(QStringLiteral("credentials"));
    DovecotFixture::Account account;
    ScriptedMessages boxes;
};

} // namespace

TEST_F(Credentials, WithoutRememberMeThePasswordReachesNeitherLogNorBoxesNorSettings)
{
    auto form = loadForm1();
    signIn(*form, account.user, account.password);
    ASSERT_EQ(button(*form, "PushButton1")->text(), QStringLiteral("Disconnect"))
        << boxes.messages().join(u'|').toStdString();
    expectNowhere("signed in");

    ASSERT_TRUE(chooseFolder(*form, QStringLiteral("Work")));
    click(button(*form, "PushButton3"));
    ASSERT_EQ(control<QAbstractItemView>(*form, "ListView1")->model()->rowCount(), 3);
    ASSERT_TRUE(QFile::exists(QDir(temp).filePath(QStringLiteral("errorlog.txt"))));
    expectNowhere("after a run, with its log written");

    // A wrong password: the failure message and a second run's sign-in must not show it either.
    click(button(*form, "PushButton1")); // disconnect: the fields are emptied
    signIn(*form, account.user, Marker + QStringLiteral("-wrong"));
    EXPECT_EQ(button(*form, "PushButton1")->text(), QStringLiteral("1. Connect"));
    ASSERT_FALSE(boxes.messages().isEmpty());
    expectNowhere("after a refused sign-in");
}

TEST_F(Credentials, UncheckingRememberMeTakesThePasswordOutOfTheFile)
{
    auto form = loadForm1();
    click(control<QCheckBox>(*form, "Check1"));
    QTest::keyClicks(control<QLineEdit>(*form, "Text2"), account.password);
    // No keyring answers here: the file keeps it once the keyring has failed to.
    ASSERT_TRUE(WaitUntil([] { return settingsFileText().contains(Marker); })) << "remembered, so it is stored";
    click(control<QCheckBox>(*form, "Check1"));
    expectNowhere("after unchecking \"Remember me\"");
}

TEST_F(Credentials, ThePasswordBoxShowsOnlyStars)
{
    auto form = loadForm1();
    QLineEdit *box = control<QLineEdit>(*form, "Text2");
    QTest::keyClicks(box, account.password);
    EXPECT_EQ(box->echoMode(), QLineEdit::Password);
    EXPECT_EQ(box->displayText(), QString(account.password.size(), u'*'));
    // What the screen shows of the window, password box included, is not the password.
    EXPECT_FALSE(box->displayText().contains(Marker));
    EXPECT_EQ(box->text(), account.password);
}
