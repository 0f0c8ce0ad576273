#include "results/resultsview.h"

#include "results/resultsmodel.h"

#include <QHeaderView>
#include <QStyle>
#include <QStyleOptionViewItem>

ResultsView::ResultsView(QWidget *parent) : QTableView(parent), m_rows(new ResultsModel(this))
{
    setModel(m_rows);
    const auto full = [this] { m_fullLayout = true; };
    connect(m_rows, &QAbstractItemModel::modelReset, this, full);
    connect(m_rows, &QAbstractItemModel::layoutChanged, this, full);
    connect(m_rows, &QAbstractItemModel::rowsRemoved, this, full);
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

bool ResultsView::belowViewport(int row) const
{
    // By the fixed row height: the header hears of inserted rows only after the view does.
    return isVisible() && qint64(row) * verticalHeader()->defaultSectionSize() - verticalOffset() >= viewport()->height();
}

void ResultsView::rowsInserted(const QModelIndex &parent, int start, int end)
{
    if (belowViewport(start))
        m_rowsAddedBelow = true;
    else
        m_fullLayout = true;
    QTableView::rowsInserted(parent, start, end);
}

void ResultsView::dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight, const QList<int> &roles)
{
    if (topLeft.isValid() && belowViewport(topLeft.row()))
        return;
    QTableView::dataChanged(topLeft, bottomRight, roles);
}

void ResultsView::doItemsLayout()
{
    const bool onlyScrollRange = m_rowsAddedBelow && !m_fullLayout;
    m_rowsAddedBelow = m_fullLayout = false;
    if (onlyScrollRange)
        updateGeometries();
    else
        QTableView::doItemsLayout();
}
