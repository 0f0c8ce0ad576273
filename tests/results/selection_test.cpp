#include "results/resultslist.h"
#include "results/resultsview.h"
#include "results/selectioncommands.h"

#include "tests/common/printers.h"
#include "tests/common/scriptedmessages.h"

#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// One window's list with its own commands, flag and counters.
struct WindowList {
    QWidget window;
    ResultsView *view = new ResultsView(&window);
    QLabel *total = new QLabel(&window);
    QLabel *selected = new QLabel(&window);
    ResultsList list{view, total, selected};
    bool bRuleMatched = false;
    bool busy = false;
    SelectionCommands commands;

    explicit WindowList(const QString &name) : commands(name, list, bRuleMatched, [this] { return busy; })
    {
        list.createColumns({1300, 1300, 1600, 1600, 1600, 0});
        QObject::connect(&list, &ResultsList::ItemCheck, [this] { commands.ListView1_ItemCheck(); });
    }

    // From, From Name, From Address, Subject, Received Date
    void add(const QString &from, const QString &subject, const QString &date = QStringLiteral("31/08/2021 10:00:00"),
             const QString &name = {}, const QString &address = {})
    {
        const int row = list.appendRow(from);
        list.setText(row, 1, name);
        list.setText(row, 2, address);
        list.setText(row, 3, subject);
        list.setText(row, 4, date);
    }

    QList<bool> checks() const
    {
        QList<bool> marks;
        for (int row = 1; row <= list.rowCount(); ++row)
            marks.append(list.isChecked(row));
        return marks;
    }
};

struct SelectionTest : ::testing::Test {
    ScriptedMessages boxes;
    WindowList main{QStringLiteral("Form1")};
};

} // namespace

TEST_F(SelectionTest, CheckAllAndUncheckAll)
{
    for (int row = 1; row <= 5; ++row)
        main.add(QStringLiteral("s%1@x.example").arg(row), QStringLiteral("subject"));
    main.bRuleMatched = true;
    main.commands.PushButton5_Click();
    EXPECT_EQ(main.checks(), QList<bool>(5, true));
    EXPECT_EQ(main.total->text(), QStringLiteral("Total Number Of Emails: 5"));
    EXPECT_EQ(main.selected->text(), QStringLiteral("Selected Emails: 5"));
    EXPECT_FALSE(main.bRuleMatched);

    main.bRuleMatched = true;
    main.commands.PushButton6_Click();
    EXPECT_EQ(main.checks(), QList<bool>(5, false));
    EXPECT_EQ(main.selected->text(), QStringLiteral("Selected Emails: 0"));
    EXPECT_FALSE(main.bRuleMatched);

    main.list.clear();
    main.commands.PushButton6_Click();
    EXPECT_EQ(main.total->text(), QStringLiteral("Total Number Of Emails: 0"));
    EXPECT_EQ(main.selected->text(), QStringLiteral("Selected Emails: 0"));
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST_F(SelectionTest, ClearListLeavesTheRowsWhileBusy)
{
    for (int row = 1; row <= 3; ++row)
        main.add(QStringLiteral("s%1@x.example").arg(row), QStringLiteral("subject"));
    main.list.UpdateCounters(false);
    main.busy = true;
    main.commands.PushButton7_Click();
    EXPECT_EQ(main.list.rowCount(), 3);
    EXPECT_EQ(main.total->text(), QStringLiteral("Total Number Of Emails: 0"));
    EXPECT_EQ(main.selected->text(), QStringLiteral("Selected Emails: 0"));
    main.busy = false;
    main.commands.PushButton7_Click();
    EXPECT_EQ(main.list.rowCount(), 0);
    EXPECT_EQ(main.total->text(), QStringLiteral("Total Number Of Emails: 0"));
}

TEST_F(SelectionTest, ContainingUnchecksUntilTheFirstMatchThenOnlyAdds)
{
    main.add("a@x.example", "invoice 1");
    main.add("b@x.example", "hello");
    main.add("c@x.example", "INVOICE 2");
    boxes.queueInput(QStringLiteral("Invoice"));
    main.commands.PushButton9_Click();
    EXPECT_EQ(main.checks(), (QList<bool>{true, false, true}));
    EXPECT_TRUE(main.bRuleMatched);
    ASSERT_EQ(boxes.shown.size(), 1);
    EXPECT_EQ(boxes.shown[0].kind, ScriptedMessages::Kind::Input);
    EXPECT_EQ(boxes.shown[0].text, QStringLiteral("Enter X:"));
    EXPECT_EQ(main.selected->text(), QStringLiteral("Selected Emails: 2"));

    boxes.queueInput(QStringLiteral("hello"));
    main.commands.PushButton9_Click();
    EXPECT_EQ(main.checks(), (QList<bool>{true, true, true}));

    // After Check All the flag is reset: rows before the first match lose their checks.
    main.add("d@x.example", "other");
    main.commands.PushButton5_Click();
    boxes.queueInput(QStringLiteral("invoice 2"));
    main.commands.PushButton9_Click();
    EXPECT_EQ(main.checks(), (QList<bool>{false, false, true, true}));
}

TEST_F(SelectionTest, ContainingLooksAtFromSubjectAndDateOnly)
{
    main.add("Ann <ann@x.example>", "first", "31/08/2021 10:00:00", "Special Name", "special@x.example");
    main.add("bob@x.example", "second", "01/01/2020 10:00:00");
    main.add("CAROL@x.example", "third", "02/02/2019 10:00:00");
    boxes.queueInput(QStringLiteral("2021"));
    main.commands.PushButton9_Click();
    EXPECT_EQ(main.checks(), (QList<bool>{true, false, false}));

    main.commands.PushButton6_Click();
    boxes.queueInput(QStringLiteral("carol"));
    main.commands.PushButton9_Click();
    EXPECT_EQ(main.checks(), (QList<bool>{false, false, true})) << "the From column, without regard to case";

    main.commands.PushButton6_Click();
    boxes.queueInput(QStringLiteral("special"));
    main.commands.PushButton9_Click();
    EXPECT_EQ(main.checks(), (QList<bool>{false, false, false})) << "From Name and From Address are not searched";
    EXPECT_FALSE(main.bRuleMatched);
}

TEST_F(SelectionTest, EmptyOrCancelledText)
{
    main.add("a@x.example", "one");
    main.add("", "", "");
    main.add("c@x.example", "three");
    main.list.setChecked(1, true);
    main.list.setChecked(3, true);
    // Cancelled Not Containing: only the all-empty row matches; the row after that match keeps its check.
    main.commands.PushButton10_Click();
    EXPECT_EQ(main.checks(), (QList<bool>{false, true, true}));
    EXPECT_EQ(main.selected->text(), QStringLiteral("Selected Emails: 2"));

    main.commands.PushButton6_Click();
    boxes.queueInput(std::nullopt);
    main.commands.PushButton9_Click(); // cancelled Containing: every row with some text
    EXPECT_EQ(main.checks(), (QList<bool>{true, false, true}));

    main.commands.PushButton6_Click();
    boxes.queueInput(QStringLiteral("one"));
    main.commands.PushButton10_Click();
    EXPECT_EQ(main.checks(), (QList<bool>{false, true, true}));
}

TEST_F(SelectionTest, RuleCommandsWorkOnMoreRowsThanASixteenBitCount)
{
    constexpr int rows = 33000;
    for (int row = 1; row <= rows; ++row)
        main.list.appendRow(QStringLiteral("sender%1@x.example").arg(row));
    boxes.queueInput(QStringLiteral("sender32999@"));
    main.commands.PushButton9_Click();
    EXPECT_TRUE(boxes.errorReports().isEmpty()) << boxes.errorReports().value(0).toStdString();
    EXPECT_TRUE(main.list.isChecked(32999));
    EXPECT_FALSE(main.list.isChecked(rows));
    EXPECT_EQ(main.total->text(), QStringLiteral("Total Number Of Emails: 33000"));
    EXPECT_EQ(main.selected->text(), QStringLiteral("Selected Emails: 1"));

    boxes.queueInput(QStringLiteral("sender32999@"));
    main.commands.PushButton10_Click();
    EXPECT_EQ(main.selected->text(), QStringLiteral("Selected Emails: 33000"));
}

TEST_F(SelectionTest, UserClickRefreshesTheCounters)
{
    main.add("a@x.example", "one");
    main.add("b@x.example", "two");
    main.window.show();
    main.view->setFocus();
    main.view->setCurrentIndex(main.view->model()->index(1, 0));
    QTest::keyClick(main.view, Qt::Key_Space);
    EXPECT_EQ(main.total->text(), QStringLiteral("Total Number Of Emails: 2"));
    EXPECT_EQ(main.selected->text(), QStringLiteral("Selected Emails: 1"));
}

TEST_F(SelectionTest, AnotherWindowsListKeepsItsOwnMarksAndFlag)
{
    WindowList larger(QStringLiteral("Form4"));
    main.add("a@x.example", "invoice");
    larger.add("a@x.example", "invoice");
    larger.add("b@x.example", "hello");
    boxes.queueInput(QStringLiteral("hello"));
    larger.commands.PushButton9_Click();
    EXPECT_EQ(larger.checks(), (QList<bool>{false, true}));
    EXPECT_TRUE(larger.bRuleMatched);
    EXPECT_FALSE(main.bRuleMatched);
    EXPECT_EQ(main.checks(), (QList<bool>{false}));
    EXPECT_EQ(larger.selected->text(), QStringLiteral("Selected Emails: 1"));
    EXPECT_TRUE(main.selected->text().isEmpty()) << "the main window's counters are not touched";
}

// The rule's match without decoding ASCII cells must answer as lower-casing the whole text does.
TEST(RuleMatch, AnswersAsTheLowerCasedTextDoes)
{
    WindowList w(QStringLiteral("Form1"));
    const QStringList cells = {QStringLiteral("Invoice FOR May"), QString(), QStringLiteral("ÄRGER über Straße"),
                               QStringLiteral("KELVIN \u212A and \u0130stanbul"), QStringLiteral("x").repeated(5000),
                               QStringLiteral("a=b@C.example")};
    const QStringList wanted = {QString(), QStringLiteral("invoice"), QStringLiteral("for m"), QStringLiteral("ärger"),
                                QStringLiteral("k"), QStringLiteral("i\u0307"), QStringLiteral("xx"), QStringLiteral("c.ex"),
                                QStringLiteral("über"), QStringLiteral("zz")};
    for (const QString &cell : cells)
        w.add(cell, cell);
    for (int row = 1; row <= cells.size(); ++row) {
        const QString cell = cells[row - 1];
        for (const QString &text : wanted)
            EXPECT_EQ(w.list.holds(row, 3, text), !cell.isEmpty() && cell.toLower().contains(text))
                << cell.left(20).toStdString() << " / " << text.toStdString();
    }
}
