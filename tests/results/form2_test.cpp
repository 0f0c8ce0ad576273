#include "mail/clschilkatimap.h"
#include "results/form2.h"

#include "tests/common/printers.h"
#include "tests/common/scriptedmessages.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const QString FromMessage = QStringLiteral("Please input a value greater than zero.");
const QString ToMessage250 = QStringLiteral("Please input max value greater than 0 and less than or equal to 250");

struct RangeDialogTest : ::testing::Test {
    ScriptedMessages boxes;
    QWidget owner;
    std::shared_ptr<clsChilkatIMAP> session = std::make_shared<clsChilkatIMAP>();
    int result = -1; // what the last showing returned
    bool accepted() const { return result == QDialog::Accepted; }

    RangeDialogTest()
    {
        session->setCurrentLocation(-7);
        session->setMaxRecord(-7);
    }

    // Shows the dialog through the seam, as Get Some does, and lets the handler act on it.
    void show(const std::function<void(Form2 &)> &act, qint32 maxMessage = 250)
    {
        Form2 dialog(&owner);
        dialog.setChilkatIMAP(session);
        dialog.setMaxMessage(maxMessage);
        boxes.queueDialog([&](QDialog &shown) { act(static_cast<Form2 &>(shown)); });
        result = MessageSeam::current().execDialog(dialog);
    }

    // Types both numbers and presses Continue; returns whether the dialog closed.
    bool enter(const QString &from, const QString &to)
    {
        bool closed = false;
        show([&](Form2 &dialog) {
            dialog.fromBox()->setText(from);
            dialog.toBox()->setText(to);
            QTest::mouseClick(dialog.continueButton(), Qt::LeftButton);
            closed = !dialog.isVisible();
        });
        return closed;
    }

    bool sessionUntouched() const { return session->CurrentLocation() == -7 && session->MaxRecord() == -7; }
};

} // namespace

TEST_F(RangeDialogTest, OpensWithTheWholeFolderAndTheToBoxSelected)
{
    show([&](Form2 &dialog) {
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Get Some Emails"));
        EXPECT_EQ(dialog.fromBox()->text(), QStringLiteral("1"));
        EXPECT_EQ(dialog.toBox()->text(), QStringLiteral("250"));
        EXPECT_EQ(dialog.toBox()->selectedText(), QStringLiteral("250"));
        EXPECT_EQ(dialog.focusWidget(), dialog.toBox());
        EXPECT_EQ(dialog.toLabel()->text(), QStringLiteral("To (Max of 250)"));
        EXPECT_EQ(dialog.continueButton()->text(), QStringLiteral("Continue"));
        bool fromLabel = false;
        for (const QLabel *label : dialog.findChildren<QLabel *>())
            fromLabel = fromLabel || label->text() == QStringLiteral("From:");
        EXPECT_TRUE(fromLabel);
        EXPECT_NE(dialog.result(), QDialog::Accepted);
    });
    EXPECT_EQ(result, QDialog::Rejected) << "closed without Continue";
    EXPECT_FALSE(accepted());
    EXPECT_TRUE(sessionUntouched());
    EXPECT_TRUE(boxes.messages().isEmpty());
}

TEST_F(RangeDialogTest, BadFirstNumbersKeepTheDialogOpen)
{
    for (const QString &from : {QStringLiteral("0"), QString(), QStringLiteral("abc"), QStringLiteral("-3")}) {
        SCOPED_TRACE(from.toStdString());
        boxes.clear();
        bool stillOpen = false;
        QString textAfter;
        show([&](Form2 &dialog) {
            dialog.fromBox()->setText(from);
            QTest::mouseClick(dialog.continueButton(), Qt::LeftButton);
            stillOpen = dialog.isVisible();
            textAfter = dialog.fromBox()->text();
        });
        EXPECT_TRUE(stillOpen);
        EXPECT_EQ(textAfter, from) << "the text stays as typed";
        EXPECT_EQ(boxes.messages(), QStringList{FromMessage});
        EXPECT_FALSE(accepted());
        EXPECT_TRUE(sessionUntouched());
    }
}

TEST_F(RangeDialogTest, BadLastNumbersKeepTheDialogOpen)
{
    for (const QString &to : {QStringLiteral("251"), QStringLiteral("0"), QString(), QStringLiteral("250.01")}) {
        SCOPED_TRACE(to.toStdString());
        boxes.clear();
        EXPECT_FALSE(enter(QStringLiteral("1"), to));
        EXPECT_EQ(boxes.messages(), QStringList{ToMessage250});
        EXPECT_FALSE(accepted());
        EXPECT_TRUE(sessionUntouched());
    }
}

TEST_F(RangeDialogTest, ContinueSetsTheRoundedRange)
{
    struct Case {
        QString from, to;
        qint32 first, last;
    };
    const QList<Case> cases = {
        {"10", "20", 10, 20},   {"2.5", "7.5", 2, 8},    {"30", "20", 30, 20},
        {"  12abc", "250", 12, 250}, {"3.5", "4.5", 4, 4}, {"0.4", "1", 0, 1}, // the test is on the unrounded value
    };
    for (const Case &c : cases) {
        SCOPED_TRACE((c.from + QStringLiteral("..") + c.to).toStdString());
        EXPECT_TRUE(enter(c.from, c.to));
        EXPECT_TRUE(accepted());
        EXPECT_EQ(session->CurrentLocation(), c.first);
        EXPECT_EQ(session->MaxRecord(), c.last);
    }
    EXPECT_TRUE(boxes.messages().isEmpty());
}

TEST_F(RangeDialogTest, EnterContinuesFromEitherBox)
{
    bool closed = false;
    show([&](Form2 &dialog) {
        dialog.toBox()->setText(QStringLiteral("5"));
        QTest::keyClick(dialog.toBox(), Qt::Key_Return);
        closed = !dialog.isVisible();
    });
    EXPECT_TRUE(closed);
    EXPECT_TRUE(accepted());
    EXPECT_EQ(session->CurrentLocation(), 1);
    EXPECT_EQ(session->MaxRecord(), 5);
}

TEST_F(RangeDialogTest, CloseBoxSetsNoRange)
{
    show([&](Form2 &dialog) {
        dialog.fromBox()->setText(QStringLiteral("3"));
        dialog.close();
    });
    EXPECT_FALSE(accepted());
    EXPECT_EQ(result, QDialog::Rejected) << "closed without Continue";
    EXPECT_TRUE(sessionUntouched());
}

TEST_F(RangeDialogTest, EveryShowingStartsAfresh)
{
    Form2 dialog(&owner);
    dialog.setChilkatIMAP(session);
    dialog.setMaxMessage(9);
    boxes.queueDialog([](QDialog &shown) { static_cast<Form2 &>(shown).fromBox()->setText(QStringLiteral("4")); });
    MessageSeam::current().execDialog(dialog);
    dialog.setMaxMessage(12);
    boxes.queueDialog([](QDialog &shown) {
        auto &again = static_cast<Form2 &>(shown);
        EXPECT_EQ(again.fromBox()->text(), QStringLiteral("1"));
        EXPECT_EQ(again.toBox()->text(), QStringLiteral("12"));
        EXPECT_EQ(again.toLabel()->text(), QStringLiteral("To (Max of 12)"));
    });
    MessageSeam::current().execDialog(dialog);
}

TEST_F(RangeDialogTest, AFirstNumberBeyondAnyMessageNumberIsAnOverflowNotARange)
{
    EXPECT_FALSE(enter(QStringLiteral("99999999999"), QStringLiteral("20")));
    const QStringList reports = boxes.errorReports();
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].startsWith(QStringLiteral("Overflow\r\nin Quorvane2021/08/31.Form2.PushButton1_Click ")))
        << reports[0].toStdString();
    EXPECT_FALSE(accepted());
    EXPECT_TRUE(sessionUntouched());
}
