#pragma once

#include <QObject>
#include <QString>

class QLabel;
class ResultsModel;
class ResultsView;

// A check-box list in report view with its two counter labels. The main window and the larger
// view each own one; the selection commands work on either. Rows are 1-based; column 0 is the
// row's main text, columns 1..5 its sub-items.
class ResultsList : public QObject {
    Q_OBJECT
public:
    ResultsList(ResultsView *view, QLabel *totalLabel, QLabel *selectedLabel, QObject *parent = nullptr);

    static QStringList columnHeaders(); // "From", "From Name", "From Address", "Subject", "Received Date", "RecDate"
    // Gives the six columns the given widths in twips (the sixth normally 0: hidden).
    void createColumns(const QList<int> &widthsTwips);
    void setColumnWidthsTwips(const QList<int> &widthsTwips);

    int rowCount() const;
    int appendRow(const QString &mainText); // a new unchecked row; returns its 1-based index
    // A cell's whole text, however long; the list shows only its start.
    QString text(int row, int column) const;
    bool holds(int row, int column, const QString &lowered) const; // see ResultsModel::holds
    void setText(int row, int column, const QString &text);
    bool isChecked(int row) const;
    void setChecked(int row, bool checked); // does not raise ItemCheck
    void clear();
    // The rows of another list with their texts and check marks, in place of this one's.
    void copyRows(const ResultsList &other);

    // Reset: both labels show 0; otherwise the row count and CountChecked().
    void UpdateCounters(bool Reset);
    // Checked rows, visiting each row once and yielding on the way (at most once a frame).
    qint32 CountChecked();

    ResultsView *view() const { return m_view; }

Q_SIGNALS:
    // The user changed a row's check box.
    void ItemCheck(int row);

private:
    int index(int row) const; // the model's row; throws AppError "Subscript out of range"
    ResultsView *m_view;
    ResultsModel *m_rows;
    QLabel *m_total;
    QLabel *m_selected;
};

// Twips to pixels by the screen's logical DPI.
int TwipsToPixels(int twips);
