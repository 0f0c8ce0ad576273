#pragma once

#include <QTableView>

class ResultsModel;

// The view of a results list, with its rows. It looks like a list in report view: no grid,
// whole rows selected, rows of one height, no row numbers, the check box in column 0.
// A table view, scrolled by pixels, because its work for an added row does not grow with the
// rows there are: a tree view lays out every row again, and a table view scrolled by items
// works out where every row starts, so reading a big folder row by row would take time
// growing with the square of its size.
class ResultsView : public QTableView {
public:
    explicit ResultsView(QWidget *parent = nullptr);

    ResultsModel *rows() const { return m_rows; }

protected:
    // While a folder is read, rows arrive below what the view shows: they change its scroll
    // range, not a pixel of what it shows, so they do not paint the whole view again.
    void rowsInserted(const QModelIndex &parent, int start, int end) override;
    void dataChanged(const QModelIndex &topLeft, const QModelIndex &bottomRight, const QList<int> &roles) override;
    void doItemsLayout() override;

private:
    bool belowViewport(int row) const;

    ResultsModel *m_rows;
    bool m_rowsAddedBelow = false; // and nothing else to lay out since the last layout
    bool m_fullLayout = false;
};
