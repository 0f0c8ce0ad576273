#include "results/resultslist.h"
#include "results/resultsview.h"

#include <QHeaderView>
#include <QLabel>
#include <QTest>
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
