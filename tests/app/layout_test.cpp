// The main window as it opens, on screens of two sizes (offscreen, each in a child process
// whose platform has that screen).
#include "results/resultslist.h"
#include "support/datetext.h"
#include "tests/common/childrun.h"
#include "tests/common/form1harness.h"

#include <QApplication>
#include <QHeaderView>
#include <QScreen>
#include <QTemporaryFile>
#include <QTableView>
#include <gtest/gtest.h>

using namespace Form1Harness;

namespace {

// A wrapper that gives the child an offscreen screen of this size. The file lives as long as the
// test that made it.
QStringList screenOf(QTemporaryFile &config, int width, int height)
{
    config.open();
    config.write(QStringLiteral(R"({"screens": [{"name": "test", "x": 0, "y": 0, "width": %1, "height": %2,
                                  "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})")
                     .arg(width)
                     .arg(height)
                     .toUtf8());
    config.flush();
    return {QStringLiteral("env"), QStringLiteral("QT_QPA_PLATFORM=offscreen:configfile=") + config.fileName()};
}

// Rows the list shows whole.
int wholeRows(const QAbstractItemView &view)
{
    int rows = 0;
    while (rows < view.model()->rowCount() && view.visualRect(view.model()->index(rows, 0)).bottom() < view.viewport()->height())
        ++rows;
    return rows;
}

QRect inWindow(const QWidget *widget)
{
    return QRect(widget->mapTo(widget->window(), QPoint()), widget->size());
}

std::unique_ptr<Form1> openedWithRows(int rows)
{
    auto form = loadForm1();
    ResultsList &list = form->list();
    for (int n = 1; n <= rows; ++n) {
        const int row = list.appendRow(QStringLiteral("Sender %1 <s%1@x.example>").arg(n));
        list.setText(row, 4, DateToText(QDateTime(QDate(2021, n % 12 + 1, 28), QTime(22, 58, n % 60))));
    }
    QApplication::processEvents();
    return form;
}

} // namespace

TEST(OpeningLayout, ListShowsFifteenRowsAndTheButtonsLineUp)
{
    QTemporaryFile config;
    if (!RunInChild(screenOf(config, 1280, 1024)))
        return;
    const auto form = openedWithRows(30);
    const auto *view = control<QTableView>(*form, "ListView1");
    EXPECT_GE(wholeRows(*view), 15);

    // At rest the two retrieval buttons fill the row as the full-width buttons do; the Stop
    // button alone does too.
    const QRect full = inWindow(button(*form, "PushButton8"));
    const QRect left = inWindow(button(*form, "PushButton3"));
    const QRect right = inWindow(button(*form, "PushButton2"));
    EXPECT_EQ(left.left(), full.left());
    EXPECT_EQ(right.right(), full.right());
    EXPECT_EQ(left.width(), right.width());
    EXPECT_EQ(left.left(), inWindow(button(*form, "PushButton5")).left());
    EXPECT_EQ(right.left(), inWindow(button(*form, "PushButton6")).left());

    // The columns fill the list's width, none cut, and every one stays the user's to size.
    const QHeaderView *header = view->horizontalHeader();
    EXPECT_EQ(header->length(), view->viewport()->width());
    for (int column = 0; column < 5; ++column) {
        EXPECT_GE(view->columnWidth(column), header->sectionSizeHint(column)) << "column " << column;
        EXPECT_EQ(header->sectionResizeMode(column), QHeaderView::Interactive) << "column " << column;
    }
    const QAbstractItemView *asItemView = view; // where the column's content measure is public
    EXPECT_GE(view->columnWidth(4), asItemView->sizeHintForColumn(4)) << "the dates fit";
}

TEST(OpeningLayout, OpensWithinASmallScreen)
{
    QTemporaryFile config;
    if (!RunInChild(screenOf(config, 1024, 600)))
        return;
    const auto form = openedWithRows(30);
    const QRect room = form->screen()->availableGeometry();
    ASSERT_EQ(room.height(), 600) << "the child's screen";
    EXPECT_TRUE(room.contains(form->frameGeometry())) << form->frameGeometry().height();
    EXPECT_GE(wholeRows(*control<QTableView>(*form, "ListView1")), 3) << "the list keeps some room";
}
