#include "results/resultslist.h"
#include "results/resultsview.h"
#include "support/repaintpacer.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QLabel>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>

// The program's lists keep their rows in reading order. A view that has sorting on sorts as a
// tree widget did: by the cells' texts, equal texts in their old order, marks with their rows.
TEST(ResultsViewTest, AHeaderClickSortsOnlyWhenSortingIsOn)
{
    QWidget window;
    auto *view = new ResultsView(&window);
    ResultsList list(view, new QLabel(&window), new QLabel(&window));
    list.createColumns({1300, 1300, 1600, 1600, 1600, 0});
    for (const auto &[from, subject] : {std::pair{"b", "first b"}, {"a", "a"}, {"b", "second b"}})
        list.setText(list.appendRow(QString::fromUtf8(from)), 3, QString::fromUtf8(subject));
    list.setChecked(1, true);
    window.show();
    const auto clickHeader = [&](int column) {
        QHeaderView *header = view->horizontalHeader();
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(column) + 5, header->height() / 2));
    };
    const auto subjects = [&] {
        QStringList texts;
        for (int row = 1; row <= list.rowCount(); ++row)
            texts << list.text(row, 3) + (list.isChecked(row) ? QStringLiteral(" checked") : QString());
        return texts;
    };

    clickHeader(0);
    EXPECT_EQ(subjects(), (QStringList{"first b checked", "a", "second b"})) << "sorting is off";
    view->setSortingEnabled(true);
    view->sortByColumn(0, Qt::AscendingOrder);
    EXPECT_EQ(subjects(), (QStringList{"a", "first b checked", "second b"}));
    clickHeader(0);
    EXPECT_EQ(subjects(), (QStringList{"first b checked", "second b", "a"}));
}

namespace {

// A list shown in a window paced as the program's windows are.
struct ShownList : ::testing::Test {
    QWidget window;
    ResultsView *view = new ResultsView(&window);
    ResultsList list{view, new QLabel(&window), new QLabel(&window)};

    ShownList()
    {
        new RepaintPacer(&window);
        list.createColumns({1300, 1300, 1600, 1600, 1600, 0});
        window.resize(400, 200);
        view->resize(400, 200);
        window.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
    }

    // The row the view shows at a point of its viewport, 1-based; 0 for none.
    int rowAt(QPoint point) const { return view->indexAt(point).row() + 1; }
};

} // namespace

// Rows are appended with a yield each while reading, and their cells are filled and checked
// between yields: the view is told of the changed cells once a turn, and a query right after an
// append is answered with the new row.
TEST_F(ShownList, RowsAppendedWithAYieldEachAreThereAtOnceAndChangesToldOnceATurn)
{
    QSignalSpy told(view->model(), &QAbstractItemModel::dataChanged);
    int turns = 0;
    int last = 0;
    for (; last < 500; ++turns) {
        for (int inTurn = 0; inTurn < 5; ++inTurn) {
            last = list.appendRow(QString::number(last + 1));
            for (int column = 1; column <= 5; ++column)
                list.setText(last, column, QStringLiteral("cell"));
            list.setChecked(last, last % 2 == 0);
        }
        QCoreApplication::processEvents();
    }
    EXPECT_LE(told.count(), turns) << "the view was told of cells more than once a turn";
    EXPECT_GE(told.count(), turns / 2);

    view->scrollTo(view->model()->index(last - 1, 0));
    const QRect shown = view->visualRect(view->model()->index(last - 1, 0));
    EXPECT_TRUE(view->viewport()->rect().contains(shown.center()));
    EXPECT_EQ(rowAt(shown.center()), last);
}

TEST_F(ShownList, RowsSortedCopiedOrClearedAreShownAtOnce)
{
    for (int n = 1; n <= 50; ++n)
        list.appendRow(QStringLiteral("%1").arg(n, 2, 10, QLatin1Char('0')));
    QWidget otherWindow;
    ResultsList other(new ResultsView(&otherWindow), new QLabel(&otherWindow), new QLabel(&otherWindow));
    other.appendRow(QStringLiteral("copied"));
    const QPoint top = view->visualRect(view->model()->index(0, 0)).center();
    const std::pair<const char *, std::function<void()>> changes[] = {
        {"the rows sorted", [&] { view->sortByColumn(0, Qt::DescendingOrder); }},
        {"the rows of another list", [&] { list.copyRows(other); }},
        {"the list cleared", [&] { list.clear(); }},
    };
    const QStringList firstAfter{"50", "copied", {}};
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(changes[k].first);
        changes[k].second();
        const QModelIndex atTop = view->indexAt(top);
        EXPECT_EQ(atTop.data().toString(), firstAfter[k]);
    }
}

// Rows arriving below what the view shows grow its scroll range without painting it again; rows
// within it are painted.
TEST_F(ShownList, RowsAddedBelowTheViewDoNotPaintItAgain)
{
    int paints = 0;
    struct PaintCounter : QObject {
        int &count;
        explicit PaintCounter(int &c) : count(c) {}
        bool eventFilter(QObject *, QEvent *event) override
        {
            count += event->type() == QEvent::Paint;
            return false;
        }
    } counter(paints);
    view->viewport()->installEventFilter(&counter);
    const auto addRows = [&](int rows) {
        for (int n = 0; n < rows; ++n) {
            list.setText(list.appendRow(QStringLiteral("row")), 3, QStringLiteral("subject"));
            QTest::qWait(2);
        }
    };
    const auto paintsDue = [] { QTest::qWait(3 * RepaintPacer::FrameMs); };
    addRows(3);
    paintsDue();
    EXPECT_GT(paints, 0) << "rows within the view are painted";
    addRows(30);
    paintsDue();
    const int maximum = view->verticalScrollBar()->maximum();
    paints = 0;
    addRows(30);
    paintsDue();
    EXPECT_EQ(paints, 0);
    EXPECT_GT(view->verticalScrollBar()->maximum(), maximum);
}
