// Clicks at any moment: while the window reads from a slow server, real clicks at random on its
// buttons, nested inside whatever command runs at that moment. Afterwards the window must be
// whole: rows that match their records, counters that count, buttons at rest, no session held.
#include "app/settingsstore.h"
#include "devserver/delayproxy.h"
#include "devserver/dovecotfixture.h"
#include "export/form4.h"
#include "mail/clschilkatimap.h"
#include "results/form2.h"
#include "results/resultslist.h"
#include "results/retrieval.h"
#include "support/pointer.h"
#include "tests/common/form1harness.h"
#include "tests/common/printers.h"
#include "tests/common/recordingtarget.h"
#include "tests/common/scriptedmessages.h"
#include "tests/common/wait.h"

#include <QElapsedTimer>
#include <QTimer>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <random>

using namespace Form1Harness;

namespace {

constexpr unsigned Seed = 20261208;
constexpr int ClickingMs = 4000;
constexpr int RoundTripMs = 30;
constexpr int Messages = 40;
const QString Folder = QStringLiteral("Work");

QByteArray numberedMessage(int n)
{
    return "From: Sender " + QByteArray::number(n) + " <s" + QByteArray::number(n)
        + "@x.example>\r\nTo: ann@example.test\r\nSubject: message " + QByteArray::number(n)
        + "\r\nDate: Tue, 31 Aug 2021 15:45:12 +0000\r\nContent-Type: text/plain; charset=utf-8\r\n\r\nbody "
        + QByteArray::number(n) + "\r\n";
}

// Clicks one of the window's buttons at random, every few milliseconds, from a timer that fires
// inside the yields of whatever command is running. Each click is one single-shot timer, armed
// before the click, so that the next one can fire inside the command this click starts.
class RandomClicker {
public:
    RandomClicker(Form1 &form, ScriptedMessages &boxes) : m_form(form), m_boxes(boxes) {}

    // Clicks for ClickingMs, then presses Stop until every command it started has returned.
    void run()
    {
        m_clock.start();
        scheduleClick();
        WaitUntil([this] { return m_clock.elapsed() >= ClickingMs && m_depth == 0; }, 10 * 60 * 1000);
    }

    QString sequence() const { return m_sequence.join(QStringLiteral(", ")); }
    int clicksDuringARetrieval() const { return m_duringRetrieval; }

private:
    void scheduleClick()
    {
        // Some clicks at the very next yield, to land inside the short loops (counting rows,
        // writing cells) as well as inside the long waits for the server.
        const int delayMs = m_random() % 3 == 0 ? 0 : int(m_random() % 40);
        QTimer::singleShot(delayMs, &m_form, [this] {
            if (m_clock.elapsed() < ClickingMs) {
                scheduleClick();
                clickAtRandom();
            } else {
                settle();
            }
        });
    }

    // Time is up: Stop while a retrieval shows it, until the commands we started have returned.
    void settle()
    {
        if (m_depth == 0)
            return;
        QPushButton *stop = button(m_form, "PushButton3");
        if (stop->text() == QStringLiteral("Stop"))
            press("final Stop", stop);
        QTimer::singleShot(20, &m_form, [this] { settle(); });
    }

    void clickAtRandom()
    {
        // A modal window is open: the main window takes no clicks.
        if (m_dialogOpen)
            return;
        static const char *const Buttons[] = {"PushButton3", "PushButton2", "PushButton1", "PushButton5",
                                              "PushButton7", "PushButton4", "PushButton8"};
        const char *name = Buttons[m_random() % std::size(Buttons)];
        QPushButton *target = button(m_form, name);
        if (target->isHidden())
            return;
        if (target == button(m_form, "PushButton2") || target == button(m_form, "PushButton8"))
            keepOneDialogAnswerQueued();
        press(target->text(), target);
    }

    void press(const QString &what, QPushButton *target)
    {
        m_sequence << QStringLiteral("%1@%2ms").arg(what).arg(m_clock.elapsed());
        m_duringRetrieval += m_form.retrieval().isRunning();
        ++m_depth;
        click(target);
        --m_depth;
    }

    // Answers dialogs by their kind, so an answer queued for a dialog that never came still fits
    // the next one.
    void keepOneDialogAnswerQueued()
    {
        qsizetype shown = 0;
        for (const ScriptedMessages::Shown &box : m_boxes.shown)
            shown += box.kind == ScriptedMessages::Kind::Dialog;
        if (m_queued > shown)
            return;
        ++m_queued;
        m_boxes.queueDialog([this](QDialog &dialog) {
            ++m_dialogOpen;
            if (auto *range = qobject_cast<Form2 *>(&dialog))
                answerRange(*range);
            else if (auto *view = qobject_cast<Form4 *>(&dialog))
                useLargerView(*view);
            --m_dialogOpen;
        });
    }

    void answerRange(Form2 &range)
    {
        const int max = std::max(1, range.MaxMessage());
        const int from = 1 + int(m_random() % unsigned(max));
        const int to = from + int(m_random() % unsigned(max - from + 1));
        m_sequence << QStringLiteral("range %1..%2").arg(from).arg(to);
        range.fromBox()->setText(QString::number(from));
        range.toBox()->setText(QString::number(to));
        click(range.continueButton());
    }

    void useLargerView(Form4 &view)
    {
        static const char *const Buttons[] = {"PushButton5", "PushButton6", "PushButton7"};
        const char *name = Buttons[m_random() % std::size(Buttons)];
        auto *inside = view.findChild<QPushButton *>(QLatin1String(name));
        m_sequence << QStringLiteral("larger view: %1, < Back").arg(inside->text());
        click(inside);
        click(view.findChild<QPushButton *>(QStringLiteral("PushButton4")));
    }

    Form1 &m_form;
    ScriptedMessages &m_boxes;
    std::mt19937 m_random{Seed};
    QElapsedTimer m_clock;
    QStringList m_sequence;
    int m_depth = 0;
    int m_dialogOpen = 0;
    int m_duringRetrieval = 0;
    qsizetype m_queued = 0;
};

} // namespace

TEST(RandomClicks, AWindowClickedAtAnyMomentDuringSlowReadsStaysWhole)
{
    clearSettings();
    qputenv("QUORVANE_PING_HOST", "127.0.0.1");
    DovecotFixture &dovecot = DovecotFixture::instance();
    dovecot.exportEnvironment();
    QList<QByteArray> raw;
    for (int n = 1; n <= Messages; ++n)
        raw << numberedMessage(n);
    const auto account = dovecot.createAccount({{Folder, raw}});
    DelayProxy proxy(dovecot.port(), RoundTripMs);
    ASSERT_TRUE(proxy.listen());
    qputenv("QUORVANE_IMAP_PORT", QByteArray::number(proxy.port()));

    ScriptedMessages boxes;
    Recording spreadsheet;
    auto form = loadForm1();
    spreadsheet.window = form.get();
    form->setSpreadsheetTarget(std::make_unique<RecordingTarget>(spreadsheet));
    // Remembered, so that a disconnect keeps the sign-in for the next connect; the account has
    // two folders, so the first connect selects the first one.
    SaveSetting(QStringLiteral("Combo2"), QStringLiteral("0"));
    click(control<QCheckBox>(*form, "Check1"));
    signIn(*form, account.user, account.password);
    ASSERT_EQ(button(*form, "PushButton1")->text(), QStringLiteral("Disconnect")) << boxes.messages().join(u'|').toStdString();
    ASSERT_TRUE(chooseFolder(*form, Folder)); // also stored: every later connect selects it again

    RandomClicker clicker(*form, boxes);
    clicker.run();
    SCOPED_TRACE("seed " + std::to_string(Seed) + ", clicks: " + clicker.sequence().toStdString());
    EXPECT_GT(clicker.clicksDuringARetrieval(), 0) << "no click landed inside a running retrieval";

    // One more run to its end, so that "after the run" is the last thing that happened.
    if (button(*form, "PushButton1")->text() == QStringLiteral("Disconnect")) {
        if (control<QComboBox>(*form, "Combo2")->currentText().isEmpty()) {
            ASSERT_TRUE(chooseFolder(*form, Folder));
        }
        click(button(*form, "PushButton3"));
    }

    EXPECT_TRUE(boxes.errorReports().isEmpty()) << boxes.errorReports().join(QStringLiteral("\n---\n")).toStdString();
    for (const ScriptedMessages::Shown &box : boxes.shown)
        EXPECT_THAT(box.text.toStdString(), testing::Not(testing::HasSubstr(account.password.toStdString())));

    ResultsList &list = form->list();
    const MailStore &store = form->mailStore();
    ASSERT_LE(list.rowCount(), store.size()) << "more rows than the run's MaxRecord";
    int checked = 0;
    for (int r = 1; r <= list.rowCount(); ++r) {
        SCOPED_TRACE("row " + std::to_string(r));
        const MailRecord record = store.record(r);
        EXPECT_EQ(list.text(r, 0), record.From);
        EXPECT_EQ(list.text(r, 1), record.FromName);
        EXPECT_EQ(list.text(r, 2), record.FromAddress);
        EXPECT_EQ(list.text(r, 3), record.Subject);
        EXPECT_EQ(list.text(r, 4), record.ReceivedDate);
        // The record is one message of the folder, whole: no fields of two messages mixed.
        const QString n = record.Subject.section(u' ', 1);
        EXPECT_EQ(record.Subject, QStringLiteral("message ") + n);
        EXPECT_EQ(record.FromName, QStringLiteral("Sender ") + n);
        EXPECT_EQ(record.FromAddress, QStringLiteral("s%1@x.example").arg(n));
        EXPECT_THAT(record.PlainTextBody.toStdString(),
                    testing::StartsWith((QStringLiteral("body ") + n).toStdString()));
        checked += list.isChecked(r);
    }
    list.UpdateCounters(false);
    EXPECT_EQ(control<QLabel>(*form, "Label1")->text(), QStringLiteral("Total Number Of Emails: %1").arg(list.rowCount()));
    EXPECT_EQ(control<QLabel>(*form, "Label2")->text(), QStringLiteral("Selected Emails: %1").arg(checked));

    EXPECT_EQ(button(*form, "PushButton3")->text(), QStringLiteral("2a. Get All Emails"));
    EXPECT_EQ(button(*form, "PushButton2")->text(), QStringLiteral("2b. Get Some Emails"));
    EXPECT_FALSE(button(*form, "PushButton2")->isHidden());
    EXPECT_FALSE(form->retrieval().isRunning());
    EXPECT_FALSE(IsBusy(form.get()));
    EXPECT_EQ(form->oChilkat(), nullptr) << "a session is left in oChilkat after the run";
    qunsetenv("QUORVANE_IMAP_PORT");
}
