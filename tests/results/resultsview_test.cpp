#include "results/resultsview.h"
#include "support/repaintpacer.h"
#include "tests/common/printers.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// A tree view recomputes its scroll bars at the end of every layout of its rows.
class CountingView : public ResultsView {
public:
    int layouts = 0;

protected:
    void updateGeometries() override
    {
        ++layouts;
        ResultsView::updateGeometries();
    }
};

// Shown in a window paced as the program's windows are: every paint lays out first.
struct ShownView : ::testing::Test {
    CountingView view;

    ShownView()
    {
        new RepaintPacer(&view);
        view.setColumnCount(2);
        view.resize(300, 200);
        view.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&view));
    }

    QTreeWidgetItem *append(int n)
    {
        auto *row = new QTreeWidgetItem(QStringList{QString::number(n), QStringLiteral("row")});
        view.addTopLevelItem(row);
        return row;
    }
};

TEST_F(ShownView, RowsAppendedWithAYieldEachAreLaidOutAboutOnceAFrame)
{
    view.layouts = 0;
    QElapsedTimer clock;
    clock.start();
    QTreeWidgetItem *last = nullptr;
    int rows = 0;
    while (clock.elapsed() < 200 || rows < 500) {
        last = append(++rows);
        QCoreApplication::processEvents();
    }
    const qint64 frames = clock.elapsed() / ResultsView::FrameMs;
    ASSERT_GT(rows, 4 * frames) << "too slow a machine to tell pacing from laying out";
    EXPECT_LE(view.layouts, 2 * frames + 3) << "a layout for the frame's paint, at most one more for the timer";
    EXPECT_GE(view.layouts, 2) << "the view goes on laying out during the burst";

    // A query right after an append is answered from a layout that has the new row.
    view.scrollToItem(last);
    const QRect shown = view.visualItemRect(last);
    EXPECT_TRUE(shown.isValid());
    EXPECT_TRUE(view.viewport()->rect().contains(shown.center()));
    EXPECT_EQ(view.itemAt(shown.center()), last);
}

TEST_F(ShownView, RowsRemovedSortedOrClearedAreLaidOutAtOnce)
{
    for (int n = 1; n <= 50; ++n)
        append(n);
    const std::pair<const char *, std::function<void()>> changes[] = {
        {"a row removed", [&] { delete view.takeTopLevelItem(0); }},
        {"a row inserted before the last", [&] { view.insertTopLevelItem(0, new QTreeWidgetItem(QStringList{"0"})); }},
        {"the rows sorted", [&] { view.sortItems(0, Qt::DescendingOrder); }},
        {"the list cleared", [&] { view.clear(); }},
    };
    for (const auto &[what, change] : changes) {
        SCOPED_TRACE(what);
        view.doItemsLayout(); // a layout has just happened: an append now would wait for the frame
        const int before = view.layouts;
        change();
        QCoreApplication::processEvents();
        EXPECT_GT(view.layouts, before);
    }
}

} // namespace
