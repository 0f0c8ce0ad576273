#include "support/pointer.h"
#include "support/textprogressbar.h"

#include "devserver/dovecotfixture.h"
#include "tests/common/fakeimapserver.h"
#include "tests/common/fakemailbox.h"
#include "tests/common/form1harness.h"
#include "tests/common/printers.h"
#include "tests/common/resultsharness.h"
#include "tests/common/scriptedmessages.h"
#include "tests/common/wait.h"

#include "results/form2.h"

#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

const QString Done = QStringLiteral("Done.");
const QString InvalidLogin = QStringLiteral("Invalid login. Please double-check your username and password.\r\n\r\n");

QList<QByteArray> numbered(int count)
{
    QList<QByteArray> messages;
    for (int n = 1; n <= count; ++n)
        messages.append(TestMessage(QStringLiteral("Sender %1").arg(n), QStringLiteral("s%1@x.example").arg(n),
                                    QStringLiteral("message %1").arg(n), QStringLiteral("body %1").arg(n)));
    return messages;
}

struct RetrievalTest : ::testing::Test {
    static void SetUpTestSuite() { DovecotFixture::instance().exportEnvironment(); }

    ScriptedMessages boxes;
    std::unique_ptr<ResultsHarness> h = std::make_unique<ResultsHarness>();

    // A fresh account with the folder "Work" holding the messages and an empty "Nothing".
    void connectWith(const QList<QByteArray> &messages, const QString &folder = QStringLiteral("Work"))
    {
        DovecotFixture &dovecot = DovecotFixture::instance();
        const auto account = dovecot.createAccount(
            {{QStringLiteral("Work"), messages}, {QStringLiteral("Nothing"), {}}});
        ASSERT_TRUE(h->connectTo(dovecot.host(), dovecot.port(), account.user, account.password, folder))
            << boxes.messages().join(u'|').toStdString();
        boxes.clear();
    }

    void expectAtRest(const QString &status = QStringLiteral("Progress Bar")) const
    {
        EXPECT_EQ(h->PushButton3->text(), QStringLiteral("2a. Get All Emails"));
        EXPECT_EQ(h->PushButton2->text(), QStringLiteral("2b. Get Some Emails"));
        EXPECT_FALSE(h->PushButton2->isHidden());
        EXPECT_FALSE(IsBusy(&h->window));
        EXPECT_EQ(h->ProgressBar1->value(), 0);
        EXPECT_EQ(h->ProgressBar1->text(), status);
        EXPECT_FALSE(h->oChilkat->get()) << "every run releases its session";
        EXPECT_FALSE(h->retrieval->isRunning());
    }
};

// Script lines of a server that signs in and selects a folder of `exists` messages.
QString signInAndSelect(int exists)
{
    return FakeSignIn() + FakeSelect(exists);
}

// Points the commands at the scripted server, trusting the tests' CA (before a harness is made).
void pointAt(const FakeImapServer &server)
{
    DovecotFixture::instance().exportEnvironment();
    qputenv("QUORVANE_IMAP_HOST", server.host().toUtf8());
    qputenv("QUORVANE_IMAP_PORT", QByteArray::number(server.port()));
}

// Signs in to the scripted server as the connect command does and chooses its INBOX.
void connectToInbox(ResultsHarness &h, const FakeImapServer &server)
{
    ASSERT_TRUE(h.connectTo(server.host(), server.port(), QStringLiteral("ann"), QStringLiteral("pw"),
                            QStringLiteral("INBOX")))
        << server.mismatch().toStdString();
}

} // namespace

TEST_F(RetrievalTest, GetAllListsEveryMessageInOrder)
{
    connectWith(numbered(3));
    h->bRuleMatched = true;
    h->list->appendRow(QStringLiteral("left over"));
    bool runMode = false;
    h->afterListing = [&](qint32 uID) {
        if (uID != 2)
            return;
        runMode = h->PushButton3->text() == QStringLiteral("Stop") && h->PushButton2->isHidden()
            && h->PushButton3->width() == Form1Harness::button(h->window, "PushButton8")->width() && IsBusy(&h->window);
        // Clear List while the run shows the hourglass only zeroes the counters.
        h->list->UpdateCounters(false);
        h->selection->PushButton7_Click();
    };
    h->clickGetAll();

    EXPECT_TRUE(runMode);
    EXPECT_EQ(h->listedIds, (QList<qint32>{1, 2, 3}));
    EXPECT_EQ(h->column(3), (QStringList{"message 1", "message 2", "message 3"}));
    EXPECT_EQ(h->column(1), (QStringList{"Sender 1", "Sender 2", "Sender 3"}));
    EXPECT_EQ(h->column(2), (QStringList{"s1@x.example", "s2@x.example", "s3@x.example"}));
    for (int row = 1; row <= 3; ++row) {
        EXPECT_FALSE(h->list->isChecked(row));
        EXPECT_FALSE(h->list->text(row, 4).isEmpty());
        EXPECT_FALSE(h->list->text(row, 5).isEmpty());
        EXPECT_EQ(h->mailStore.record(row).Subject, h->list->text(row, 3));
        EXPECT_EQ(h->mailStore.record(row).PlainTextBody.trimmed(), QStringLiteral("body %1").arg(row));
        EXPECT_EQ(h->mailStore.record(row).ReceivedDate, h->list->text(row, 4));
    }
    EXPECT_EQ(h->mailStore.size(), 3);
    EXPECT_EQ(h->Label1->text(), QStringLiteral("Total Number Of Emails: 3"));
    EXPECT_EQ(h->Label2->text(), QStringLiteral("Selected Emails: 0"));
    EXPECT_FALSE(h->bRuleMatched);
    EXPECT_EQ(boxes.messages(), QStringList{Done});
    EXPECT_TRUE(boxes.errorReports().isEmpty()) << boxes.errorReports().value(0).toStdString();
    expectAtRest();

    h->selection->PushButton7_Click();
    EXPECT_EQ(h->list->rowCount(), 0) << "after the run Clear List empties the list";
}

TEST_F(RetrievalTest, FilterIsReadForEveryMessage)
{
    connectWith({
        TestMessage("Ann", "ann@x.example", "INVOICE 42", "hello"),
        TestMessage("INVOICE Dept", "dept@x.example", "monthly", "hello"),
        TestMessage("Cid", "cid@x.example", "news", "see attachment", "<p>your invoice</p>"),
        TestMessage("Dan", "dan@x.example", "news", "your invoice is here"),
        TestMessage("Eve", "eve@x.example", "anything", "hello"),
    });
    h->txtSearch->setText(QStringLiteral("invoice"));
    h->afterListing = [&](qint32 uID) {
        if (uID == 4)
            h->txtSearch->clear(); // typed during the run: applies to the messages that follow
    };
    h->clickGetAll();
    EXPECT_EQ(h->column(1), (QStringList{"Ann", "Dan", "Eve"}));
    EXPECT_EQ(h->mailStore.record(2).FromName, QStringLiteral("Dan"));
    EXPECT_EQ(h->Label1->text(), QStringLiteral("Total Number Of Emails: 3"));
}

TEST_F(RetrievalTest, GetSomeReadsTheRangeWithProgress)
{
    connectWith(numbered(25));
    QString progressAt12;
    h->afterListing = [&](qint32 uID) {
        if (uID == 12)
            progressAt12 = h->ProgressBar1->text();
    };
    h->bRuleMatched = true;
    boxes.queueDialog([](QDialog &shown) {
        auto &dialog = static_cast<Form2 &>(shown);
        EXPECT_EQ(dialog.toBox()->text(), QStringLiteral("25"));
        dialog.fromBox()->setText(QStringLiteral("10"));
        dialog.toBox()->setText(QStringLiteral("20"));
        QTest::mouseClick(dialog.continueButton(), Qt::LeftButton);
    });
    h->clickGetSome();

    EXPECT_EQ(progressAt12, QStringLiteral("Reading mail 12 of 20"));
    EXPECT_EQ(h->listedIds.first(), 10);
    EXPECT_EQ(h->listedIds.last(), 20);
    EXPECT_EQ(h->list->rowCount(), 11);
    EXPECT_EQ(h->list->text(1, 3), QStringLiteral("message 10"));
    EXPECT_EQ(h->mailStore.size(), 20);
    EXPECT_EQ(h->mailStore.record(11).Subject, QStringLiteral("message 20")) << "stored at the row's index";
    EXPECT_EQ(h->Label1->text(), QStringLiteral("Total Number Of Emails: 11"));
    EXPECT_FALSE(h->bRuleMatched);
    EXPECT_EQ(boxes.messages(), QStringList{Done});
    expectAtRest();
}

TEST_F(RetrievalTest, GetSomeWithAnEmptyRangeOrAClosedDialog)
{
    connectWith(numbered(4));
    h->list->appendRow(QStringLiteral("kept"));
    h->list->UpdateCounters(false);
    h->bRuleMatched = true;
    boxes.queueDialog([](QDialog &shown) { shown.close(); });
    h->clickGetSome();
    EXPECT_EQ(h->column(0), QStringList{"kept"});
    EXPECT_EQ(h->Label1->text(), QStringLiteral("Total Number Of Emails: 1"));
    EXPECT_TRUE(h->bRuleMatched);
    EXPECT_TRUE(boxes.messages().isEmpty()) << "closing the dialog ends the command silently";
    expectAtRest();

    // The previous run released its session: this one signs in anew with the typed ID.
    boxes.queueDialog([](QDialog &shown) {
        auto &dialog = static_cast<Form2 &>(shown);
        dialog.fromBox()->setText(QStringLiteral("30"));
        dialog.toBox()->setText(QStringLiteral("4"));
        QTest::mouseClick(dialog.continueButton(), Qt::LeftButton);
    });
    h->clickGetSome();
    EXPECT_EQ(h->list->rowCount(), 0);
    EXPECT_TRUE(h->listedIds.isEmpty());
    EXPECT_EQ(h->Label1->text(), QStringLiteral("Total Number Of Emails: 0"));
    EXPECT_EQ(boxes.messages(), QStringList{Done});
    expectAtRest();
}

TEST_F(RetrievalTest, GetAllAfterAClosedRangeDialogStillSaysDone)
{
    connectWith(numbered(2));
    boxes.queueDialog([](QDialog &shown) { shown.close(); });
    h->clickGetSome();
    ASSERT_TRUE(boxes.messages().isEmpty());

    // Connected again, so the next run uses the held session and signs in no new one.
    connectWith(numbered(2));
    h->clickGetAll();
    EXPECT_EQ(h->list->rowCount(), 2);
    EXPECT_EQ(boxes.messages(), QStringList{Done});
}

TEST_F(RetrievalTest, EmptyFolderMessages)
{
    connectWith({}, QStringLiteral("Nothing"));
    h->list->appendRow(QStringLiteral("old"));
    h->clickGetSome();
    EXPECT_EQ(boxes.messages(), QStringList{"There are 0 emails in the Folder you selected."});
    EXPECT_EQ(h->list->rowCount(), 1) << "Get Some leaves the list as it was";
    EXPECT_EQ(boxes.shown.size(), 1) << "no range dialog for an empty folder";
    expectAtRest();

    boxes.clear();
    h->clickGetAll();
    EXPECT_EQ(boxes.messages(), QStringList{"There are no emails in the Folder you selected."});
    EXPECT_EQ(h->list->rowCount(), 0) << "Get All has cleared the list";
    EXPECT_EQ(h->Label1->text(), QStringLiteral("Total Number Of Emails: 0"));
    EXPECT_EQ(h->Label2->text(), QStringLiteral("Selected Emails: 0"));
    expectAtRest();
}

TEST_F(RetrievalTest, RefusedBeforeSignInOrWithoutAFolder)
{
    h->list->appendRow(QStringLiteral("untouched"));
    h->clickGetAll();
    h->clickGetSome();
    EXPECT_EQ(boxes.messages(), (QStringList{"Please connect first (Step 1) before using this feature.",
                                             "Please connect first (Step 1) before using this feature."}));
    h->PushButton1->setText(QStringLiteral("Disconnect"));
    boxes.clear();
    h->clickGetAll();
    h->clickGetSome();
    EXPECT_EQ(boxes.messages(), (QStringList{"Please select a folder", "Please select a folder"}));
    EXPECT_EQ(h->column(0), QStringList{"untouched"});
    expectAtRest();
}

TEST_F(RetrievalTest, SecondRunSignsInANewSessionAndAFailedSignInEndsSilently)
{
    connectWith(numbered(2));
    const auto connected = h->oChilkat->get();
    std::shared_ptr<clsChilkatIMAP> during;
    h->afterListing = [&](qint32) { during = h->oChilkat->get(); };
    h->clickGetAll();
    EXPECT_EQ(during, connected) << "the first run uses the connected session";
    h->clickGetAll();
    ASSERT_TRUE(during);
    EXPECT_NE(during, connected) << "the second run signs in a session of its own";
    EXPECT_EQ(h->list->rowCount(), 2);
    EXPECT_EQ(boxes.messages(), (QStringList{Done, Done}));

    boxes.clear();
    h->Text2->setText(QStringLiteral("wrong password"));
    h->clickGetAll();
    EXPECT_EQ(boxes.messages(), QStringList{InvalidLogin}) << "no Done. after a failed sign-in";
    EXPECT_EQ(h->list->rowCount(), 0);
    expectAtRest();
}

TEST_F(RetrievalTest, StopAfterARowAddsNoMoreRows)
{
    connectWith(numbered(8));
    std::shared_ptr<clsChilkatIMAP> session;
    h->afterListing = [&](qint32 uID) {
        if (uID == 3) {
            session = h->oChilkat->get();
            h->clickGetAll(); // the button shows "Stop"
            EXPECT_EQ(h->PushButton3->text(), QStringLiteral("2a. Get All Emails"));
            EXPECT_FALSE(h->PushButton2->isHidden());
            EXPECT_TRUE(IsBusy(&h->window)) << "Stop leaves the pointer to the run's end";
            EXPECT_TRUE(boxes.messages().isEmpty());
        }
    };
    h->clickGetAll();
    EXPECT_EQ(h->listedIds, (QList<qint32>{1, 2, 3}));
    ASSERT_TRUE(session);
    EXPECT_TRUE(session->AbortProcess);
    EXPECT_EQ(session->CurrentLocation(), 4) << "the session's loop ended at the next number";
    EXPECT_EQ(h->Label1->text(), QStringLiteral("Total Number Of Emails: 3"));
    EXPECT_EQ(boxes.messages(), QStringList{Done});
    expectAtRest();
}

TEST_F(RetrievalTest, GetSomeStartedWhileAStoppedGetAllUnwindsLeavesBothButtonsAtRest)
{
    connectWith(numbered(5));
    boxes.queueDialog([](QDialog &shown) {
        QTest::mouseClick(static_cast<Form2 &>(shown).continueButton(), Qt::LeftButton);
    });
    bool restarted = false;
    h->afterListing = [&](qint32) {
        if (std::exchange(restarted, true))
            return;
        h->clickGetAll(); // Stop: the buttons look idle while the run unwinds
        h->clickGetSome(); // a whole Get Some inside the stopped Get All
    };
    h->clickGetAll();
    ASSERT_TRUE(restarted);
    EXPECT_EQ(h->list->rowCount(), 5) << "the inner Get Some read the whole folder";
    EXPECT_EQ(boxes.messages(), (QStringList{Done, Done}));
    expectAtRest();
}

TEST_F(RetrievalTest, DisconnectDuringARunStopsItFirst)
{
    connectWith(numbered(6));
    std::shared_ptr<clsChilkatIMAP> session;
    h->afterListing = [&](qint32 uID) {
        if (uID != 2)
            return;
        session = h->oChilkat->get();
        h->window.PushButton1_Click(); // "Disconnect"
    };
    h->clickGetAll();
    EXPECT_EQ(h->listedIds, (QList<qint32>{1, 2}));
    EXPECT_EQ(h->list->rowCount(), 0) << "no stray rows after the disconnect";
    ASSERT_TRUE(session);
    EXPECT_EQ(session->CurrentLocation(), 3) << "no further numbers tried on the closed connection";
    EXPECT_EQ(boxes.messages(), QStringList{Done});
    EXPECT_TRUE(boxes.errorReports().isEmpty()) << boxes.errorReports().value(0).toStdString();
    // The run ends after the disconnect has said its last word.
    const QString disconnected = QStringLiteral("Disconnected from Yahoo! Mail.");
    expectAtRest(disconnected);
    h->retrieval->stopRunning(); // nothing runs: nothing happens
    expectAtRest(disconnected);
}

TEST(RetrievalSlowServerTest, StopDuringAStalledFetch)
{
    const QList<QByteArray> messages = numbered(2);
    // Connection 1: the connect command and the count; connection 2: the reading run.
    const QString first = signInAndSelect(5).replace(QStringLiteral("C: * SELECT *"),
                                                     QStringLiteral("C: * LIST *\nS: * LIST () \"/\" INBOX\n"
                                                                    "S: $TAG OK List completed\nC: * SELECT *"));
    const QString second = signInAndSelect(5) + FakeOutlines(1, numbered(5)) + FakeFetchAnswer(1, messages[0]) + FakeFetchAnswer(2, messages[1])
        + QStringLiteral("C: * FETCH 3 (BODY.PEEK[] INTERNALDATE)\nSTALL\n");
    FakeImapServer server(QStringList{first, second});
    pointAt(server);
    ScriptedMessages boxes;
    ResultsHarness h;
    ASSERT_NO_FATAL_FAILURE(connectToInbox(h, server));

    bool stopClicked = false;
    std::shared_ptr<clsChilkatIMAP> session;
    h.afterListing = [&](qint32 uID) {
        session = h.oChilkat->get();
        if (uID == 2)
            QTimer::singleShot(300, &h.window, [&] {
                stopClicked = true;
                h.clickGetAll();
            });
    };
    h.clickGetAll();
    EXPECT_TRUE(stopClicked);
    EXPECT_TRUE(server.mismatch().isEmpty()) << server.mismatch().toStdString();
    // fetches may be sent ahead, but never past the folder's size.
    const QStringList fetches = server.clientLines().filter(QStringLiteral(" FETCH "));
    EXPECT_TRUE(fetches.filter(QStringLiteral(" FETCH 3 ")).size() == 1);
    EXPECT_TRUE(fetches.filter(QStringLiteral(" FETCH 6 ")).isEmpty());
    EXPECT_EQ(h.listedIds, (QList<qint32>{1, 2}));
    ASSERT_TRUE(session);
    EXPECT_EQ(session->CurrentLocation(), 3) << "the abort ended the stalled fetch and the loop";
    EXPECT_EQ(h.list->rowCount(), 2);
    EXPECT_EQ(h.Label1->text(), QStringLiteral("Total Number Of Emails: 2"));
    EXPECT_EQ(boxes.messages(), QStringList{Done});
    EXPECT_EQ(h.PushButton3->text(), QStringLiteral("2a. Get All Emails"));
    EXPECT_FALSE(h.PushButton2->isHidden());
    EXPECT_FALSE(IsBusy(&h.window));
    EXPECT_EQ(h.ProgressBar1->text(), QStringLiteral("Progress Bar"));
    DovecotFixture::instance().exportEnvironment();
}

TEST(RetrievalSlowServerTest, StopBeforeReadingShowsNoFailureAndNoDone)
{
    const QString connected = FakeSignIn() + FakeListInbox(); // the connect command's connection
    const QString stalledLogin = FakeSignIn().replace(u"S: $TAG OK Logged in\n"_qs, u"STALL\n"_qs);
    const QString stalledSelect = FakeSignIn() + u"C: * SELECT *\nSTALL\n"_qs;
    const struct {
        const char *name;
        QStringList scripts;
        bool newSession; // the run signs in a session of its own first
    } cases[] = {
        {"the sign-in of a new session", {connected, stalledLogin}, true},
        {"the count", {connected + u"C: * SELECT *\nSTALL\n"_qs}, false},
        {"the run's own sign-in", {connected + FakeSelect(5), stalledLogin}, false},
        {"the run's own select", {connected + FakeSelect(5), stalledSelect}, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        FakeImapServer server(c.scripts);
        pointAt(server);
        ScriptedMessages boxes;
        ResultsHarness h;
        ASSERT_NO_FATAL_FAILURE(connectToInbox(h, server));
        if (c.newSession)
            h.oChilkat->reset();
        QTimer::singleShot(300, &h.window, [&] { h.clickGetAll(); });
        h.clickGetAll();
        EXPECT_EQ(server.connectionCount(), c.scripts.size()) << "stopped where the server stalls";
        EXPECT_TRUE(boxes.messages().isEmpty()) << boxes.messages().join(u'|').toStdString();
        EXPECT_EQ(h.PushButton3->text(), QStringLiteral("2a. Get All Emails"));
        EXPECT_FALSE(IsBusy(&h.window));
    }
    DovecotFixture::instance().exportEnvironment();
}

TEST(RetrievalSlowServerTest, ARunThatCannotSignInToReadEndsWithoutDone)
{
    const QString refused = FakeSignIn().replace(u"S: $TAG OK Logged in"_qs, u"S: $TAG NO [AUTHENTICATIONFAILED] Nope."_qs);
    FakeImapServer server({FakeSignIn() + FakeListInbox() + FakeSelect(5), refused});
    pointAt(server);
    ScriptedMessages boxes;
    ResultsHarness h;
    ASSERT_NO_FATAL_FAILURE(connectToInbox(h, server));
    h.clickGetAll();
    EXPECT_EQ(boxes.messages(), (QStringList{InvalidLogin, u"Connection failed. Check username and password."_qs}));
    DovecotFixture::instance().exportEnvironment();
}
