// The remembered password in a real Secret Service (gnome-keyring in a D-Bus session of the
// test's own), and in the private settings file where no keyring answers.
#include "app/settingsstore.h"
#include "devserver/dovecotfixture.h"
#include "tests/common/childrun.h"
#include "tests/common/filemode.h"
#include "tests/common/form1harness.h"
#include "tests/common/printers.h"
#include "tests/common/scriptedmessages.h"
#include "tests/common/secretservice.h"
#include "tests/common/wait.h"

#include <QTest>
#include <gtest/gtest.h>

using namespace Form1Harness;

namespace {

const QString Password = QStringLiteral("pa\"ss\\w-Zq7marker");
const QString Absent = QStringLiteral("(absent)");

// The program's entry: labelled and served as "Quorvane", one per settings file.
QStringList inKeyring()
{
    return SecretsMatching({{QStringLiteral("server"), QStringLiteral("Quorvane")},
                            {QStringLiteral("user"), settingsFilePath()}});
}

bool keyringHolds(const QStringList &secrets)
{
    return WaitUntil([&] { return inKeyring() == secrets; });
}

QString passwordInFile()
{
    return GetSetting(QStringLiteral("Password"), Absent);
}

QCheckBox *rememberMe(const Form1 &form)
{
    return control<QCheckBox>(form, "Check1");
}

QLineEdit *passwordBox(const Form1 &form)
{
    return control<QLineEdit>(form, "Text2");
}

// "Remember me", then the password typed.
std::unique_ptr<Form1> rememberPassword()
{
    auto form = loadForm1();
    click(rememberMe(*form));
    QTest::keyClicks(passwordBox(*form), Password);
    return form;
}

class Keyring : public ::testing::Test {
protected:
    void SetUp() override
    {
        clearSettings();
        qputenv("QUORVANE_PING_HOST", "127.0.0.1");
    }
    ScriptedMessages boxes;
};

} // namespace

TEST_F(Keyring, RememberMeKeepsThePasswordThereForTheNextStartAndUncheckingErasesIt)
{
    if (!RunInChild(PrivateKeyringSession()))
        return;
    rememberPassword().reset();
    EXPECT_TRUE(keyringHolds({Password})) << inKeyring().join(u'|').toStdString();
    EXPECT_EQ(passwordInFile(), QString()) << "written as empty text";
    EXPECT_FALSE(settingsFileText().contains(QStringLiteral("Zq7marker")));

    auto again = loadForm1();
    EXPECT_TRUE(rememberMe(*again)->isChecked());
    EXPECT_EQ(passwordBox(*again)->text(), Password);
    click(rememberMe(*again));
    EXPECT_TRUE(keyringHolds({})) << inKeyring().join(u'|').toStdString();
    EXPECT_TRUE(boxes.shown.isEmpty()) << boxes.messages().join(u'|').toStdString();
}

TEST_F(Keyring, ADisconnectWithoutRememberMeErasesIt)
{
    if (!RunInChild(PrivateKeyringSession()))
        return;
    DovecotFixture::instance().exportEnvironment();
    const DovecotFixture::Account account = DovecotFixture::instance().createAccount({}, Password);
    rememberPassword().reset();
    ASSERT_TRUE(keyringHolds({Password}));
    // "Remember me" went off, but the keyring never heard (the program was killed meanwhile).
    SaveSetting(QStringLiteral("StayConnected"), QStringLiteral("0"));

    auto form = loadForm1();
    ASSERT_FALSE(rememberMe(*form)->isChecked());
    signIn(*form, account.user, account.password);
    ASSERT_EQ(button(*form, "PushButton1")->text(), QStringLiteral("Disconnect"))
        << boxes.messages().join(u'|').toStdString();
    click(button(*form, "PushButton1"));
    EXPECT_TRUE(keyringHolds({})) << inKeyring().join(u'|').toStdString();
    EXPECT_EQ(passwordInFile(), QString());
}

TEST_F(Keyring, APasswordLeftInTheSettingsFileMovesIntoTheKeyring)
{
    if (!RunInChild(PrivateKeyringSession()))
        return;
    SaveSetting(QStringLiteral("StayConnected"), QStringLiteral("1"));
    SaveSetting(QStringLiteral("Password"), Password); // as an earlier version stored it
    auto form = loadForm1();
    EXPECT_EQ(passwordBox(*form)->text(), Password);
    EXPECT_TRUE(keyringHolds({Password})) << inKeyring().join(u'|').toStdString();
    EXPECT_TRUE(WaitUntil([] { return passwordInFile().isEmpty(); })) << passwordInFile().toStdString();

    // Also when the keyring holds the same already (a start without a keyring stored it again).
    form.reset();
    SaveSetting(QStringLiteral("Password"), Password);
    form = loadForm1();
    EXPECT_TRUE(WaitUntil([] { return passwordInFile().isEmpty(); })) << passwordInFile().toStdString();
    EXPECT_EQ(inKeyring(), QStringList{Password});

    // Without "Remember me" a leftover is dropped, and the keyring is left alone.
    form.reset();
    SaveSetting(QStringLiteral("StayConnected"), QStringLiteral("0"));
    SaveSetting(QStringLiteral("Password"), QStringLiteral("left over"));
    form = loadForm1();
    EXPECT_TRUE(passwordBox(*form)->text().isEmpty());
    EXPECT_EQ(passwordInFile(), QString());
    EXPECT_EQ(inKeyring(), QStringList{Password});
}

TEST_F(Keyring, WhereNoneAnswersThePasswordStaysInThePrivateSettingsFile)
{
    if (!RunInChild(SessionWithoutKeyring()))
        return;
    rememberPassword().reset();
    EXPECT_EQ(passwordInFile(), Password);
    EXPECT_EQ(FileMode(settingsFilePath()), 0600);
    auto again = loadForm1();
    EXPECT_EQ(passwordBox(*again)->text(), Password);
    click(rememberMe(*again));
    EXPECT_EQ(passwordInFile(), QString());
    EXPECT_TRUE(boxes.shown.isEmpty()) << boxes.messages().join(u'|').toStdString();
}
