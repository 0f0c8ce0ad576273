#include "app/settingsstore.h"
#include "devserver/dovecotfixture.h"
#include "mail/clschilkatimap.h"
#include "results/resultslist.h"
#include "support/pointer.h"
#include "tests/common/fakeimapserver.h"
#include "tests/common/exportharness.h"
#include "tests/common/fakemailbox.h"
#include "tests/common/form1harness.h"
#include "tests/common/printers.h"
#include "tests/common/scriptedmessages.h"
#include "tests/common/wait.h"

#include <QAccessible>
#include <QAccessibleTableInterface>
#include <QTest>
#include <QTimer>
#include <QTableView>
#include <gtest/gtest.h>

using namespace Form1Harness;

namespace {
const QString InvalidLogin = QStringLiteral("Invalid login. Please double-check your username and password.\r\n\r\n");
const QString Connected = QStringLiteral("Connected to Yahoo! Mail. Please select folder to extract emails from.");
const QString Disconnected = QStringLiteral("Disconnected from Yahoo! Mail.");

class Form1Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        clearSettings();
        qputenv("QUORVANE_PING_HOST", "127.0.0.1");
        DovecotFixture::instance().exportEnvironment();
    }

    void storeSignIn(const DovecotFixture::Account &account, const QString &autoConnect)
    {
        SaveSetting(QStringLiteral("StayConnected"), QStringLiteral("1"));
        SaveSetting(QStringLiteral("User"), account.user);
        SaveSetting(QStringLiteral("Password"), account.password);
        SaveSetting(QStringLiteral("AutoConnect"), autoConnect);
    }

    void signIn(Form1 &form, const DovecotFixture::Account &account)
    {
        Form1Harness::signIn(form, account.user, account.password);
    }

    static DovecotFixture::Account account() { return DovecotFixture::instance().seededAccount(); }

    ScriptedMessages boxes;
};
} // namespace

TEST_F(Form1Test, FirstStartWithoutSettingsShowsTheWindowAtRest)
{
    auto form = loadForm1();
    EXPECT_TRUE(boxes.shown.isEmpty()) << boxes.messages().join('|').toStdString();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Quorvane"));
    EXPECT_FALSE(control<QCheckBox>(*form, "Check1")->isChecked());
    EXPECT_FALSE(control<QCheckBox>(*form, "Check2")->isChecked());
    EXPECT_FALSE(control<QCheckBox>(*form, "Check2")->isEnabled());
    EXPECT_TRUE(control<QLineEdit>(*form, "Text1")->text().isEmpty());
    EXPECT_EQ(control<QLineEdit>(*form, "Text2")->echoMode(), QLineEdit::Password);
    EXPECT_EQ(control<QLabel>(*form, "Label1")->text(), QStringLiteral("Total Number Of Emails: 0"));
    EXPECT_EQ(control<QLabel>(*form, "Label2")->text(), QStringLiteral("Selected Emails: 0"));
    EXPECT_EQ(status(*form), QStringLiteral("Progress Bar"));
    EXPECT_EQ(button(*form, "PushButton1")->text(), QStringLiteral("1. Connect"));

    const QTableView *list = control<QTableView>(*form, "ListView1");
    ASSERT_EQ(list->model()->columnCount(), 6);
    EXPECT_EQ(list->model()->headerData(4, Qt::Horizontal), QStringLiteral("Received Date"));
    EXPECT_TRUE(list->isColumnHidden(5));
}

TEST_F(Form1Test, RememberedSignInWithAutoConnectOpensSignedInWithTheStoredFolder)
{
    storeSignIn(account(), QStringLiteral("1"));
    SaveSetting(QStringLiteral("Combo2"), QStringLiteral("1"));
    auto form = loadForm1();

    EXPECT_TRUE(boxes.shown.isEmpty()) << boxes.messages().join('|').toStdString();
    EXPECT_EQ(button(*form, "PushButton1")->text(), QStringLiteral("Disconnect"));
    EXPECT_EQ(status(*form), Connected);
    const QComboBox *folders = control<QComboBox>(*form, "Combo2");
    QStringList names;
    for (int i = 0; i < folders->count(); ++i)
        names << folders->itemText(i);
    EXPECT_EQ(names, DovecotFixture::instance().seededFolders());
    EXPECT_EQ(folders->currentIndex(), 1);
    EXPECT_TRUE(control<QCheckBox>(*form, "Check1")->isChecked());
    EXPECT_TRUE(control<QCheckBox>(*form, "Check2")->isChecked());
    EXPECT_EQ(control<QLineEdit>(*form, "Text1")->text(), account().user);
}

TEST_F(Form1Test, AutoConnectWithAWrongPasswordOpensSignedOut)
{
    DovecotFixture::Account wrong = account();
    wrong.password = QStringLiteral("not-the-password");
    storeSignIn(wrong, QStringLiteral("1"));
    auto form = loadForm1();

    EXPECT_EQ(boxes.messages(), QStringList{InvalidLogin});
    EXPECT_EQ(button(*form, "PushButton1")->text(), QStringLiteral("1. Connect"));
    EXPECT_EQ(status(*form), Disconnected);
    EXPECT_EQ(form->oChilkat(), nullptr);
    // The stored sign-in stays for the user to correct.
    EXPECT_EQ(GetSetting(QStringLiteral("Password"), QString()), wrong.password);
}

TEST_F(Form1Test, EmptyIdIsAttemptedAndRefused)
{
    auto form = loadForm1();
    click(button(*form, "PushButton1"));
    EXPECT_EQ(boxes.messages(), QStringList{InvalidLogin});
    EXPECT_EQ(status(*form), Disconnected);
    EXPECT_EQ(button(*form, "PushButton1")->text(), QStringLiteral("1. Connect"));
}

TEST_F(Form1Test, DefaultPositionBeyondAShortFolderListIsReportedOnceAndTheWindowIsSignedIn)
{
    const DovecotFixture::Account small =
        DovecotFixture::instance().createAccount({{QStringLiteral("Sent"), {}}});
    auto form = loadForm1();
    signIn(*form, small);

    ASSERT_EQ(boxes.errorReports().size(), 1);
    EXPECT_TRUE(boxes.errorReports()[0].startsWith(
        QStringLiteral("Subscript out of range\r\nin Quorvane2021/08/31.Form1.PushButton1_Click at line ")));
    EXPECT_EQ(button(*form, "PushButton1")->text(), QStringLiteral("Disconnect"));
    EXPECT_EQ(control<QComboBox>(*form, "Combo2")->count(), 2);
    EXPECT_EQ(control<QComboBox>(*form, "Combo2")->currentIndex(), -1);
    EXPECT_EQ(status(*form), Connected);
}

TEST_F(Form1Test, ChoosingAFolderIsRememberedForTheNextConnect)
{
    auto form = loadForm1();
    click(control<QCheckBox>(*form, "Check1"));
    signIn(*form, account());
    control<QComboBox>(*form, "Combo2")->setCurrentIndex(2);
    EXPECT_EQ(GetSetting(QStringLiteral("Combo2"), QString()), QStringLiteral("2"));

    click(button(*form, "PushButton1")); // disconnect
    click(button(*form, "PushButton1")); // connect again
    EXPECT_EQ(control<QComboBox>(*form, "Combo2")->currentIndex(), 2);
}

TEST_F(Form1Test, DisconnectWithoutRememberMeForgetsTheSignInButKeepsTheFolderNames)
{
    auto form = loadForm1();
    signIn(*form, account());
    ASSERT_EQ(button(*form, "PushButton1")->text(), QStringLiteral("Disconnect"));
    const int folders = control<QComboBox>(*form, "Combo2")->count();

    click(button(*form, "PushButton1"));
    EXPECT_EQ(button(*form, "PushButton1")->text(), QStringLiteral("1. Connect"));
    EXPECT_EQ(status(*form), Disconnected);
    EXPECT_TRUE(control<QLineEdit>(*form, "Text1")->text().isEmpty());
    EXPECT_TRUE(control<QLineEdit>(*form, "Text2")->text().isEmpty());
    EXPECT_EQ(GetSetting(QStringLiteral("User"), QStringLiteral("?")), QString());
    EXPECT_EQ(GetSetting(QStringLiteral("Password"), QStringLiteral("?")), QString());
    EXPECT_EQ(control<QComboBox>(*form, "Combo2")->count(), folders);
    EXPECT_EQ(form->oChilkat(), nullptr);
}

TEST_F(Form1Test, DisconnectWithRememberMeKeepsTheSignIn)
{
    auto form = loadForm1();
    click(control<QCheckBox>(*form, "Check1"));
    signIn(*form, account());
    click(button(*form, "PushButton1"));
    EXPECT_EQ(control<QLineEdit>(*form, "Text1")->text(), account().user);
    EXPECT_EQ(GetSetting(QStringLiteral("User"), QString()), account().user);
    EXPECT_EQ(GetSetting(QStringLiteral("Password"), QString()), account().password);
}

TEST_F(Form1Test, ReturnInTheIdOrPasswordBoxConnectsButNeverDisconnects)
{
    for (const char *box : {"Text1", "Text2"}) {
        SCOPED_TRACE(box);
        auto form = loadForm1();
        control<QLineEdit>(*form, "Text1")->setText(account().user);
        control<QLineEdit>(*form, "Text2")->setText(account().password);
        QTest::keyClick(control<QLineEdit>(*form, box), Qt::Key_Return);
        EXPECT_EQ(status(*form), Connected);
        QTest::keyClick(control<QLineEdit>(*form, box), Qt::Key_Return);
        EXPECT_EQ(button(*form, "PushButton1")->text(), QStringLiteral("Disconnect"));
    }
}

TEST_F(Form1Test, TypingStoresTheIdButThePasswordOnlyWhenRemembered)
{
    auto form = loadForm1();
    QTest::keyClicks(control<QLineEdit>(*form, "Text1"), QStringLiteral("abc"));
    QTest::keyClicks(control<QLineEdit>(*form, "Text2"), QStringLiteral("secret"));
    EXPECT_TRUE(settingsFileText().contains(QStringLiteral("User=abc")));
    EXPECT_FALSE(settingsFileText().contains(QStringLiteral("secret")));

    click(control<QCheckBox>(*form, "Check1"));
    EXPECT_TRUE(settingsFileText().contains(QStringLiteral("StayConnected=1")));
    // No keyring answers here: the file keeps it once the keyring has failed to.
    EXPECT_TRUE(WaitUntil([] { return settingsFileText().contains(QStringLiteral("Password=secret")); }));
    EXPECT_TRUE(control<QCheckBox>(*form, "Check2")->isEnabled());
    form.reset();

    auto again = loadForm1();
    EXPECT_EQ(control<QLineEdit>(*again, "Text1")->text(), QStringLiteral("abc"));
    EXPECT_EQ(control<QLineEdit>(*again, "Text2")->text(), QStringLiteral("secret"));
}

TEST_F(Form1Test, NotRememberedIdIsStoredButNotPutBackAtTheNextStart)
{
    auto form = loadForm1();
    QTest::keyClicks(control<QLineEdit>(*form, "Text1"), QStringLiteral("abc"));
    form.reset();
    auto again = loadForm1();
    EXPECT_TRUE(control<QLineEdit>(*again, "Text1")->text().isEmpty());
    EXPECT_EQ(GetSetting(QStringLiteral("User"), QString()), QStringLiteral("abc"));
}

TEST_F(Form1Test, UncheckingRememberMeErasesTheSignInAndSwitchesAutoConnectOff)
{
    storeSignIn(account(), QStringLiteral("0"));
    auto form = loadForm1();
    click(control<QCheckBox>(*form, "Check2"));
    ASSERT_EQ(GetSetting(QStringLiteral("AutoConnect"), QString()), QStringLiteral("1"));

    click(control<QCheckBox>(*form, "Check1"));
    EXPECT_TRUE(control<QLineEdit>(*form, "Text1")->text().isEmpty());
    EXPECT_TRUE(control<QLineEdit>(*form, "Text2")->text().isEmpty());
    EXPECT_FALSE(control<QCheckBox>(*form, "Check2")->isChecked());
    EXPECT_FALSE(control<QCheckBox>(*form, "Check2")->isEnabled());
    EXPECT_EQ(GetSetting(QStringLiteral("User"), QStringLiteral("?")), QString());
    EXPECT_EQ(GetSetting(QStringLiteral("Password"), QStringLiteral("?")), QString());
    EXPECT_EQ(GetSetting(QStringLiteral("AutoConnect"), QString()), QStringLiteral("0"));
    EXPECT_EQ(GetSetting(QStringLiteral("StayConnected"), QString()), QStringLiteral("0"));
}

TEST_F(Form1Test, UnreadableNumericSettingsAreReportedAndStartUpGoesOn)
{
    SaveSetting(QStringLiteral("StayConnected"), QStringLiteral("yes please"));
    SaveSetting(QStringLiteral("User"), QStringLiteral("kept"));
    SaveSetting(QStringLiteral("AutoConnect"), QStringLiteral("99999"));
    auto form = loadForm1();

    ASSERT_EQ(boxes.errorReports().size(), 2) << boxes.errorReports().join('|').toStdString();
    EXPECT_TRUE(boxes.errorReports()[0].startsWith(
        QStringLiteral("Type mismatch\r\nin Quorvane2021/08/31.Form1.Form_Load at line ")));
    EXPECT_TRUE(boxes.errorReports()[1].startsWith(QStringLiteral("Overflow\r\n")));
    // An unreadable "remember" counts as remembered; an unreadable auto-connect does not connect.
    EXPECT_TRUE(control<QCheckBox>(*form, "Check1")->isChecked());
    EXPECT_EQ(control<QLineEdit>(*form, "Text1")->text(), QStringLiteral("kept"));
    EXPECT_EQ(button(*form, "PushButton1")->text(), QStringLiteral("1. Connect"));
}

TEST_F(Form1Test, StoredFolderPositionThatIsNoNumberSelectsNoFolder)
{
    SaveSetting(QStringLiteral("Combo2"), QStringLiteral("third"));
    auto form = loadForm1();
    signIn(*form, account());
    ASSERT_EQ(boxes.errorReports().size(), 1);
    EXPECT_TRUE(boxes.errorReports()[0].startsWith(QStringLiteral("Type mismatch\r\n")));
    EXPECT_EQ(control<QComboBox>(*form, "Combo2")->currentIndex(), -1);
    EXPECT_EQ(button(*form, "PushButton1")->text(), QStringLiteral("Disconnect"));
}

TEST_F(Form1Test, SecondClickDuringTheSignInEndsSignedInOnce)
{
    auto form = loadForm1();
    QTest::keyClicks(control<QLineEdit>(*form, "Text1"), account().user);
    QTest::keyClicks(control<QLineEdit>(*form, "Text2"), account().password);
    bool secondRan = false;
    QTimer::singleShot(0, form.get(), [&] {
        click(button(*form, "PushButton1"));
        secondRan = true;
    });
    click(button(*form, "PushButton1"));

    EXPECT_TRUE(secondRan);
    EXPECT_TRUE(boxes.shown.isEmpty()) << boxes.messages().join('|').toStdString();
    EXPECT_EQ(button(*form, "PushButton1")->text(), QStringLiteral("Disconnect"));
    EXPECT_EQ(status(*form), Connected);
    EXPECT_EQ(control<QComboBox>(*form, "Combo2")->count(), DovecotFixture::instance().seededFolders().size());
    EXPECT_NE(form->oChilkat(), nullptr);
}

TEST_F(Form1Test, DisconnectDuringTheSignInIsNoFailure)
{
    // LOGIN is never answered: the sign-in still waits when Disconnect comes.
    FakeImapServer server(FakeSignIn().replace(u"S: $TAG OK Logged in\n"_qs, u"STALL\n"_qs));
    qputenv("QUORVANE_IMAP_HOST", server.host().toUtf8());
    qputenv("QUORVANE_IMAP_PORT", QByteArray::number(server.port()));
    auto form = loadForm1();
    QTimer::singleShot(300, form.get(), [&] {
        click(button(*form, "PushButton1")); // the closing steps of a connect: "Disconnect"
        click(button(*form, "PushButton1")); // Disconnect
    });
    signIn(*form, {u"ann"_qs, u"pw"_qs});
    EXPECT_TRUE(boxes.shown.isEmpty()) << boxes.messages().join('|').toStdString();
    EXPECT_EQ(button(*form, "PushButton1")->text(), QStringLiteral("1. Connect"));
    EXPECT_EQ(status(*form), Disconnected);
}

TEST_F(Form1Test, HelpShowsOneMessageWithTheDownloadAddress)
{
    auto form = loadForm1();
    click(button(*form, "PushButton11"));
    ASSERT_EQ(boxes.messages().size(), 1);
    const QString text = boxes.messages()[0];
    EXPECT_TRUE(text.startsWith(QStringLiteral(
        "Having problems connecting? Make sure you have the latest version by downloading from https://")));
    EXPECT_TRUE(text.endsWith(QString(12, QLatin1Char('\r'))));
    EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("Quorvane"));
}

// Assistive tools count the rows the list shows them. No row the list holds is kept from them
// while reading, and Stop leaves nothing to show up once the buttons are at rest.
TEST_F(Form1Test, StopLeavesNoRowToShowUpAfterTheButtonsAreAtRest)
{
    QList<QByteArray> messages;
    for (int n = 1; n <= 300; ++n)
        messages << "From: s@x.example\r\nSubject: message " + QByteArray::number(n) + "\r\n\r\nbody\r\n";
    const auto account = DovecotFixture::instance().createAccount({{QStringLiteral("Work"), messages}});
    auto form = loadForm1();
    signIn(*form, account);
    ASSERT_TRUE(chooseFolder(*form, QStringLiteral("Work")));
    auto *view = control<QAbstractItemView>(*form, "ListView1");
    QAccessibleTableInterface *seen = QAccessible::queryAccessibleInterface(view)->tableInterface();
    QPushButton *getAll = button(*form, "PushButton3");

    int kept = 0;
    int listedAtStop = -1;
    int seenAtRest = -1;
    QTimer poll;
    poll.setInterval(0);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        const int listed = view->model()->rowCount();
        if (getAll->text() != QStringLiteral("Stop"))
            return;
        if (seen->rowCount() != listed)
            ++kept;
        if (listed < 10)
            return;
        poll.stop();
        click(getAll);
        listedAtStop = listed;
        seenAtRest = seen->rowCount();
    });
    poll.start();
    click(getAll);

    ASSERT_GT(listedAtStop, 0) << "the run was never stopped";
    EXPECT_EQ(kept, 0) << "rows the list held were kept from assistive tools";
    EXPECT_EQ(seenAtRest, listedAtStop) << "rows the list held were shown only after the Stop";
    EXPECT_EQ(view->model()->rowCount(), listedAtStop) << "no message is reported after the Stop";
    EXPECT_LT(listedAtStop, messages.size());
    EXPECT_EQ(boxes.messages(), QStringList{QStringLiteral("Done.")});
}

// A Get All started in one of the export's yields refills the list under it: the export stops
// and says so, and leaves no workbook that mixes rows of the two lists.
TEST_F(Form1Test, AGetAllDuringTheExportStopsItWithoutMixingRows)
{
    const auto folder = [](const char *name) {
        QList<QByteArray> messages;
        for (int n = 1; n <= 30; ++n)
            messages << "From: s@x.example\r\nSubject: " + QByteArray(name) + ' ' + QByteArray::number(n) + "\r\n\r\nbody\r\n";
        return messages;
    };
    const auto account =
        DovecotFixture::instance().createAccount({{QStringLiteral("First"), folder("first")}, {QStringLiteral("Second"), folder("second")}});
    TestHome home;
    home.addProgram(QStringLiteral("localc"));
    RecordingOpener opener;
    auto form = loadForm1();
    signIn(*form, account);
    ASSERT_TRUE(chooseFolder(*form, QStringLiteral("First")));
    QPushButton *getAll = button(*form, "PushButton3");
    click(getAll);
    click(button(*form, "PushButton5")); // Check All
    ASSERT_EQ(form->list().rowCount(), 30);
    boxes.clear();

    // Well into the rows, the user picks the other folder and gets all of it.
    int busyYields = 0;
    QTimer poll;
    poll.setInterval(0);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (Pointer(form.get()) != PointerShape::Busy || ++busyYields < 60)
            return;
        poll.stop();
        chooseFolder(*form, QStringLiteral("Second"));
        click(getAll);
    });
    poll.start();
    click(button(*form, "PushButton4"));

    ASSERT_GE(busyYields, 60) << "the export ended before the Get All";
    EXPECT_EQ(form->list().text(1, 3), QStringLiteral("second 1"));
    const QStringList shown = boxes.messages();
    ASSERT_EQ(shown.size(), 2) << shown.join(u'|').toStdString();
    EXPECT_EQ(shown[0], QStringLiteral("Done.")); // the Get All's own
    EXPECT_TRUE(shown[1].startsWith(QStringLiteral("The list was emptied or filled again while it was being sent to Excel")))
        << shown[1].toStdString();
    EXPECT_TRUE(opener.opened.isEmpty());
    EXPECT_TRUE(QDir(home.documents()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot).isEmpty())
        << "a workbook, whole or half-written, was left behind";
    EXPECT_EQ(Pointer(form.get()), PointerShape::Default);
}
