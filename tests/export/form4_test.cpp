#include "export/form4.h"
#include "export/largerviewcommand.h"
#include "results/resultslist.h"
#include "support/pointer.h"
#include "tests/common/checkboxclick.h"
#include "tests/common/exportharness.h"
#include "tests/common/printers.h"
#include "tests/common/scriptedmessages.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace {

QPushButton *button(QDialog &dialog, const char *name)
{
    auto *found = dialog.findChild<QPushButton *>(QLatin1String(name));
    EXPECT_NE(found, nullptr) << name;
    return found;
}

QLabel *label(QDialog &dialog, const char *name)
{
    return dialog.findChild<QLabel *>(QLatin1String(name));
}

void click(QDialog &dialog, const char *name)
{
    if (QPushButton *b = button(dialog, name))
        QTest::mouseClick(b, Qt::LeftButton);
}

QList<bool> checks(const ResultsList &list)
{
    QList<bool> states;
    for (int row = 1; row <= list.rowCount(); ++row)
        states << list.isChecked(row);
    return states;
}

class LargerView : public ::testing::Test {
protected:
    LargerView()
    {
        for (int i = 0; i < 5; ++i)
            lists.addPlainRow(i == 1 || i == 4);
        lists.list.UpdateCounters(false);
    }

    // Opens the larger view, runs the handler while it is shown.
    void open(std::function<void(Form4 &)> handler)
    {
        messages.queueDialog([handler](QDialog &dialog) {
            auto *form = qobject_cast<Form4 *>(&dialog);
            ASSERT_NE(form, nullptr);
            handler(*form);
        });
        LargerViewCommand(lists.list, &lists.window).PushButton8_Click();
    }

    QString mainTotal() const { return lists.total->text(); }
    QString mainSelected() const { return lists.selected->text(); }

    ScriptedMessages messages;
    ListFixture lists;
};

TEST_F(LargerView, AnEmptyListOpensEmptyAndClosesWithoutChange)
{
    ListFixture empty;
    bool shown = false;
    messages.queueDialog([&](QDialog &dialog) {
        shown = true;
        auto &form = static_cast<Form4 &>(dialog);
        EXPECT_EQ(form.windowTitle(), QStringLiteral(" List In Larger View"));
        EXPECT_TRUE(form.windowState() & Qt::WindowMaximized);
        EXPECT_EQ(form.list().rowCount(), 0);
        EXPECT_EQ(form.list().view()->model()->columnCount(), 6);
        EXPECT_EQ(label(form, "Label1")->text(), QStringLiteral("Total Number Of Emails: 0"));
        EXPECT_EQ(label(form, "Label2")->text(), QStringLiteral("Selected Emails: 0"));
        click(form, "PushButton4");
        EXPECT_FALSE(form.isVisible());
    });
    LargerViewCommand(empty.list, &empty.window).PushButton8_Click();
    EXPECT_TRUE(shown);
    EXPECT_EQ(empty.total->text(), QStringLiteral("Total Number Of Emails: 0"));
    EXPECT_EQ(empty.selected->text(), QStringLiteral("Selected Emails: 0"));
    EXPECT_TRUE(messages.errorReports().isEmpty());
}

TEST_F(LargerView, CopiesEveryRowAndWritesTheChecksBackOnBack)
{
    open([this](Form4 &form) {
        ResultsList &copy = form.list();
        ASSERT_EQ(copy.rowCount(), 5);
        for (int r = 1; r <= 5; ++r)
            for (int c = 0; c < 6; ++c)
                EXPECT_EQ(copy.text(r, c), lists.list.text(r, c));
        EXPECT_EQ(checks(copy), checks(lists.list));
        EXPECT_EQ(label(form, "Label2")->text(), QStringLiteral("Selected Emails: 2"));

        click(form, "PushButton6"); // Uncheck All
        ClickCheckBox(copy.view(), 1);
        ClickCheckBox(copy.view(), 3);
        EXPECT_EQ(checks(copy), (QList<bool>{true, false, true, false, false}));
        EXPECT_EQ(label(form, "Label2")->text(), QStringLiteral("Selected Emails: 2"));
        EXPECT_EQ(checks(lists.list), (QList<bool>{false, true, false, false, true})); // not yet
        click(form, "PushButton4");
    });
    EXPECT_EQ(checks(lists.list), (QList<bool>{true, false, true, false, false}));
    EXPECT_EQ(mainTotal(), QStringLiteral("Total Number Of Emails: 5"));
    EXPECT_EQ(mainSelected(), QStringLiteral("Selected Emails: 2"));
}

TEST_F(LargerView, ClosingByTheTitleBarWritesBackToo)
{
    open([](Form4 &form) {
        form.list().setChecked(1, true);
        form.list().setChecked(2, false);
        form.close();
    });
    EXPECT_EQ(checks(lists.list), (QList<bool>{true, false, false, false, true}));
    EXPECT_EQ(mainSelected(), QStringLiteral("Selected Emails: 2"));
}

TEST_F(LargerView, CommandsInTheViewLeaveTheMainListAloneUntilItCloses)
{
    open([&](Form4 &form) {
        click(form, "PushButton5"); // Check All
        EXPECT_EQ(checks(form.list()), QList<bool>(5, true));
        EXPECT_EQ(label(form, "Label2")->text(), QStringLiteral("Selected Emails: 5"));
        EXPECT_EQ(checks(lists.list), (QList<bool>{false, true, false, false, true}));
        EXPECT_EQ(mainSelected(), QStringLiteral("Selected Emails: 2"));

        // The rule commands are the main window's, on this window's list and flag.
        messages.queueInput(QStringLiteral("SUBJECT 4"));
        click(form, "PushButton9");
        EXPECT_TRUE(form.bRuleMatched);
        EXPECT_EQ(checks(form.list()), (QList<bool>{false, false, false, true, true}));
        messages.queueInput(QStringLiteral("subject"));
        click(form, "PushButton10");
        EXPECT_EQ(checks(form.list()), (QList<bool>{false, false, false, true, true}));
    });
    EXPECT_EQ(checks(lists.list), (QList<bool>{false, false, false, true, true}));
    EXPECT_EQ(mainSelected(), QStringLiteral("Selected Emails: 2"));
    EXPECT_TRUE(messages.errorReports().isEmpty());
}

TEST_F(LargerView, ClearListEmptiesBothLists)
{
    open([this](Form4 &form) {
        click(form, "PushButton7");
        EXPECT_EQ(form.list().rowCount(), 0);
        EXPECT_EQ(lists.list.rowCount(), 0);
        EXPECT_EQ(label(form, "Label1")->text(), QStringLiteral("Total Number Of Emails: 0"));
        EXPECT_EQ(label(form, "Label2")->text(), QStringLiteral("Selected Emails: 0"));
    });
    EXPECT_EQ(mainTotal(), QStringLiteral("Total Number Of Emails: 0"));
    EXPECT_EQ(mainSelected(), QStringLiteral("Selected Emails: 0"));
}

TEST_F(LargerView, ClearListKeepsTheMainRowsWhileTheMainWindowIsBusy)
{
    SetPointer(&lists.window, PointerShape::Busy);
    open([](Form4 &form) { click(form, "PushButton7"); });
    EXPECT_EQ(lists.list.rowCount(), 5);
    EXPECT_EQ(checks(lists.list), (QList<bool>{false, true, false, false, true}));
}

TEST_F(LargerView, TheLayoutFollowsTheWindowSize)
{
    open([](Form4 &form) {
        const auto px = [](int twips) { return TwipsToPixels(twips); };
        const ResultsView *view = form.list().view();
        form.showNormal();
        form.resize(900, 700);
        QCoreApplication::processEvents();
        ASSERT_EQ(form.size(), QSize(900, 700));
        EXPECT_EQ(view->width(), 900 - px(330));
        EXPECT_EQ(view->height(), 700 - px(3100));
        EXPECT_NEAR(view->columnWidth(0), view->width() / 6, 2);
        for (int c = 1; c <= 4; ++c)
            EXPECT_NEAR(view->columnWidth(c), view->width() / 5, 2);
        EXPECT_TRUE(view->isColumnHidden(5));

        QPushButton *clear = button(form, "PushButton7");
        const int left = 450 - clear->width() / 2 - px(45);
        for (const char *name : {"PushButton4", "PushButton5", "PushButton9", "PushButton7"})
            EXPECT_EQ(button(form, name)->x(), left) << name;
        EXPECT_EQ(label(form, "Label1")->x(), left);
        const int right = left + label(form, "Label1")->width() + px(120);
        for (const char *name : {"PushButton6", "PushButton10", "PushButton1"})
            EXPECT_EQ(button(form, name)->x(), right) << name;
        EXPECT_EQ(label(form, "Label2")->x(), right);
        EXPECT_EQ(label(form, "Label1")->y(), 700 - px(2865));
        EXPECT_EQ(button(form, "PushButton5")->y(), 700 - px(2505));
        EXPECT_EQ(button(form, "PushButton9")->y(), 700 - px(1995));
        EXPECT_EQ(button(form, "PushButton1")->y(), 700 - px(1485));
        EXPECT_EQ(button(form, "PushButton4")->y(), 700 - px(975));

        // Smaller than the margins: clamped, nothing fails.
        form.resize(60, 40);
        QCoreApplication::processEvents();
        EXPECT_EQ(view->width(), std::max(0, form.width() - px(330)));
        EXPECT_EQ(view->height(), 0);
        for (QWidget *child : form.findChildren<QPushButton *>())
            EXPECT_GE(child->y(), 0);

        click(form, "PushButton1"); // Maximize This Window
        QCoreApplication::processEvents();
        EXPECT_TRUE(form.windowState() & Qt::WindowMaximized);
        EXPECT_EQ(view->width(), form.width() - px(330));
        EXPECT_EQ(label(form, "Label1")->text(), QStringLiteral("Total Number Of Emails: 5"));
    });
    EXPECT_TRUE(messages.errorReports().isEmpty());
}

TEST_F(LargerView, EachOpeningShowsTheCurrentMainList)
{
    open([](Form4 &form) {
        click(form, "PushButton5");
        click(form, "PushButton4");
    });
    lists.addPlainRow(false);
    lists.list.setChecked(1, false);
    open([this](Form4 &form) {
        EXPECT_EQ(form.list().rowCount(), 6);
        EXPECT_EQ(checks(form.list()), checks(lists.list));
        EXPECT_EQ(checks(form.list()), (QList<bool>{false, true, true, true, true, false}));
        EXPECT_FALSE(form.bRuleMatched);
    });
}

TEST_F(LargerView, ButtonsShowTheHandUnlessBusy)
{
    open([](Form4 &form) {
        QPushButton *back = button(form, "PushButton4");
        QEvent enter(QEvent::Enter);
        QCoreApplication::sendEvent(back, &enter);
        EXPECT_EQ(Pointer(&form), PointerShape::Hand);
        QCoreApplication::sendEvent(form.list().view(), &enter);
        EXPECT_EQ(Pointer(&form), PointerShape::Default);
        SetPointer(&form, PointerShape::Busy);
        QCoreApplication::sendEvent(back, &enter);
        EXPECT_EQ(Pointer(&form), PointerShape::Busy);
    });
}

} // namespace
