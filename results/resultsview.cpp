#include "results/resultsview.h"

#include "results/resultsmodel.h"

#include <QHeaderView>
#include <QStyle>
#include <QStyleOptionViewItem>

ResultsView::ResultsView(QWidget *parent) : QTableView(parent), m_rows(new ResultsModel(this))
{
    setModel(m_rows);
    setShowGrid(false);
    setWordWrap(false);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false); // Tab leaves the list, as it leaves any other list
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(false);
    verticalHeader()->hide();
    // The height a checked row with a line of text needs, as the item delegate measures it.
    QStyleOptionViewItem row;
    initViewItemOption(&row);
    row.features |= QStyleOptionViewItem::HasCheckIndicator | QStyleOptionViewItem::HasDisplay;
    row.text = QStringLiteral("Ag");
    verticalHeader()->setMinimumSectionSize(1);
    verticalHeader()->setDefaultSectionSize(style()->sizeFromContents(QStyle::CT_ItemViewItem, &row, {}, this).height());
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
}
