#pragma once

#include <QAbstractTableModel>
#include <QByteArray>
#include <QList>
#include <QStringList>
#include <array>
#include <utility>

// The rows of a results list: a check mark and six texts each, kept as UTF-8 in one block per
// row, so that a folder of 100,000 messages costs a few hundred bytes a row. A text longer than
// a cell shows is kept as it came instead, shared and not converted: a header value can be
// megabytes long. Rows here are 0-based; the model knows nothing of the list's 1-based rows or
// its errors.
class ResultsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    static constexpr int ColumnCount = 6;
    // A cell shows at most this many characters: painting a text lays out all of it. The whole
    // text stays for everything else.
    static constexpr qsizetype ShownChars = 1024;

    explicit ResultsModel(QObject *parent = nullptr);

    static QStringList columnHeaders();

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex &index) const override;
    // Only the user's own check-box changes come this way (the view's delegate).
    bool setData(const QModelIndex &index, const QVariant &value, int role) override;
    void sort(int column, Qt::SortOrder order) override;

    int appendRow(const QString &mainText); // a new unchecked row; returns its index
    QString text(int row, int column) const;
    // Whether the text is not empty and, lower-cased, contains `lowered`: what the rule commands
    // ask of three cells of every row, answered without decoding a text in plain ASCII.
    bool holds(int row, int column, const QString &lowered) const;
    void setText(int row, int column, const QString &text);
    bool isChecked(int row) const;
    void setChecked(int row, bool checked);
    void clear();
    void copyRows(const ResultsModel &other); // in place of these; shared until either changes

Q_SIGNALS:
    void userChecked(int row);

private:
    struct Row {
        QByteArray texts;                       // the six texts one after the other
        std::array<qint32, ColumnCount> ends{}; // where each text ends in texts
        QList<std::pair<int, QString>> longTexts; // by column; these are empty in texts
        bool checked = false;
    };
    static const QString *longText(const Row &cells, int column); // none: the text is in texts
    static QByteArrayView keptText(const Row &cells, int column);  // its UTF-8 in texts
    void noteChanged(int row);
    void tellChanged();

    QList<Row> m_rows;
    // Rows changed since the views were last told: they hear of them once per turn of the
    // event loop. Told of one cell, a view finds where the cell is, and after rows were added
    // that walks every row; a loop that checks every row would pay that for each.
    int m_changedFirst = -1;
    int m_changedLast = -1;
};
