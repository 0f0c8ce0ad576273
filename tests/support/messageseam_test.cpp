#include "support/messageseam.h"

#include "tests/common/scriptedmessages.h"

#include "tests/common/printers.h"
#include <QApplication>
#include <QDialog>
#include <QDialogButtonBox>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include <gtest/gtest.h>

namespace {

// Acts on the production seam's modal box once it is up, the way a user would.
void whenModalShows(std::function<void(QWidget *)> act)
{
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act] {
        if (QWidget *modal = QApplication::activeModalWidget()) {
            poll->stop();
            poll->deleteLater();
            act(modal);
        }
    });
    poll->start(20);
}

// A wrong kind of box must still go away, or the test would wait for ever.
void rejectUnexpected(QWidget *modal)
{
    ADD_FAILURE() << "unexpected modal " << modal->metaObject()->className();
    if (auto *dialog = qobject_cast<QDialog *>(modal))
        dialog->reject();
    else
        modal->close();
}

} // namespace

TEST(MessageSeam, ProductionMessageBoxIsPlainWithOk)
{
    MessageSeam::install(nullptr);
    bool seen = false;
    whenModalShows([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box)
            return rejectUnexpected(modal);
        seen = true;
        EXPECT_EQ(box->windowTitle(), QStringLiteral("Caption"));
        EXPECT_EQ(box->text(), QStringLiteral("Body"));
        EXPECT_EQ(box->icon(), QMessageBox::NoIcon);
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
        box->button(QMessageBox::Ok)->click();
    });
    MessageSeam::current().message(QStringLiteral("Body"), QStringLiteral("Caption"));
    EXPECT_TRUE(seen);
}

TEST(MessageSeam, ProductionErrorReportIsAWarning)
{
    MessageSeam::install(nullptr);
    bool seen = false;
    whenModalShows([&](QWidget *modal) {
        auto *box = qobject_cast<QMessageBox *>(modal);
        if (!box)
            return rejectUnexpected(modal);
        seen = true;
        EXPECT_EQ(box->windowTitle(), QStringLiteral("Application Error"));
        EXPECT_EQ(box->icon(), QMessageBox::Warning);
        EXPECT_EQ(box->standardButtons(), QMessageBox::Ok);
        box->button(QMessageBox::Ok)->click();
    });
    MessageSeam::current().errorReport(QStringLiteral("Overflow"));
    EXPECT_TRUE(seen);
}

TEST(MessageSeam, ProductionInputBoxGivesTypedTextOrEmptyOnCancel)
{
    MessageSeam::install(nullptr);
    whenModalShows([](QWidget *modal) {
        auto *dialog = qobject_cast<QInputDialog *>(modal);
        if (!dialog)
            return rejectUnexpected(modal);
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Title"));
        EXPECT_EQ(dialog->labelText(), QStringLiteral("Prompt"));
        EXPECT_EQ(dialog->textValue(), QStringLiteral("default"));
        dialog->findChild<QLineEdit *>()->setText(QStringLiteral("typed"));
        dialog->accept();
    });
    EXPECT_EQ(MessageSeam::current().inputBox(QStringLiteral("Prompt"), QStringLiteral("Title"), QStringLiteral("default")),
              QStringLiteral("typed"));

    whenModalShows([](QWidget *modal) { static_cast<QDialog *>(modal)->reject(); });
    EXPECT_EQ(MessageSeam::current().inputBox(QStringLiteral("Prompt"), QStringLiteral("Title"), QStringLiteral("default")),
              QString());
}

TEST(MessageSeam, ProductionDialogRunsModallyAndReturnsItsResult)
{
    MessageSeam::install(nullptr);
    QDialog dialog;
    whenModalShows([&](QWidget *modal) {
        EXPECT_EQ(modal, &dialog);
        dialog.done(7);
    });
    EXPECT_EQ(MessageSeam::current().execDialog(dialog), 7);
}

TEST(MessageSeam, InstalledSeamReplacesTheDialogsUntilRemoved)
{
    MessageSeam *production = &MessageSeam::current();
    {
        ScriptedMessages scripted;
        EXPECT_EQ(&MessageSeam::current(), &scripted);
        MsgBox(QStringLiteral("recorded"));
        EXPECT_EQ(scripted.messages(), QStringList{QStringLiteral("recorded")});
    }
    EXPECT_EQ(&MessageSeam::current(), production);
}
