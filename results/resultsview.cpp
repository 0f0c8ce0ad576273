#include "results/resultsview.h"

#include <QTimerEvent>

ResultsView::ResultsView(QWidget *parent) : QTreeWidget(parent)
{
    QAbstractItemModel *rows = model();
    connect(rows, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &parent, int, int last) { noteRowsAppended(parent, last); });
    const auto changedOtherwise = [this] { m_onlyAppended = false; };
    connect(rows, &QAbstractItemModel::rowsAboutToBeRemoved, this, changedOtherwise);
    connect(rows, &QAbstractItemModel::rowsAboutToBeMoved, this, changedOtherwise);
    connect(rows, &QAbstractItemModel::columnsAboutToBeInserted, this, changedOtherwise);
    connect(rows, &QAbstractItemModel::columnsAboutToBeRemoved, this, changedOtherwise);
    connect(rows, &QAbstractItemModel::layoutAboutToBeChanged, this, changedOtherwise);
    connect(rows, &QAbstractItemModel::modelAboutToBeReset, this, changedOtherwise);
}

void ResultsView::noteRowsAppended(const QModelIndex &parent, int last)
{
    if (parent.isValid() || last != topLevelItemCount() - 1)
        m_onlyAppended = false;
}

void ResultsView::timerEvent(QTimerEvent *event)
{
    m_inTimerEvent = true;
    QTreeWidget::timerEvent(event);
    m_inTimerEvent = false;
}

void ResultsView::doItemsLayout()
{
    // Only the delayed layout's own timer is held back: it is asked for again, so that a paint
    // or a query in the meantime still finds a layout owed and does it.
    if (m_inTimerEvent && m_onlyAppended && m_sinceLayout.isValid() && m_sinceLayout.elapsed() < FrameMs) {
        scheduleDelayedItemsLayout();
        return;
    }
    QTreeWidget::doItemsLayout();
    m_sinceLayout.start();
    m_onlyAppended = true;
}
