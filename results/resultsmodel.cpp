#include "results/resultsmodel.h"

#include <QStringEncoder>
#include <algorithm>
#include <numeric>

ResultsModel::ResultsModel(QObject *parent) : QAbstractTableModel(parent) {}

QStringList ResultsModel::columnHeaders()
{
    return {QStringLiteral("From"),    QStringLiteral("From Name"),     QStringLiteral("From Address"),
            QStringLiteral("Subject"), QStringLiteral("Received Date"), QStringLiteral("RecDate")};
}

int ResultsModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int ResultsModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ResultsModel::data(const QModelIndex &index, int role) const
{
    if (!checkIndex(index, CheckIndexOption::IndexIsValid))
        return {};
    if (role == Qt::DisplayRole) {
        const QString shown = text(index.row(), index.column());
        if (shown.size() <= ShownChars)
            return shown;
        // Cut between characters, never inside a surrogate pair.
        return shown.left(shown.at(ShownChars - 1).isHighSurrogate() ? ShownChars - 1 : ShownChars);
    }
    if (role == Qt::CheckStateRole && index.column() == 0)
        return m_rows[index.row()].checked ? Qt::Checked : Qt::Unchecked;
    return {};
}

QVariant ResultsModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return columnHeaders().value(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags ResultsModel::flags(const QModelIndex &index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    const Qt::ItemFlags cell = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    return index.column() == 0 ? cell | Qt::ItemIsUserCheckable : cell;
}

bool ResultsModel::setData(const QModelIndex &index, const QVariant &value, int role)
{
    if (role != Qt::CheckStateRole || index.column() != 0
        || !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return false;
    setChecked(index.row(), value.toInt() == Qt::Checked);
    Q_EMIT userChecked(index.row());
    return true;
}

void ResultsModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= ColumnCount)
        return;
    // By the cells' texts, as a tree widget sorts; rows with equal texts keep their order.
    QStringList keys;
    keys.reserve(m_rows.size());
    for (int row = 0; row < m_rows.size(); ++row)
        keys.append(text(row, column));
    QList<int> sequence(m_rows.size());
    std::iota(sequence.begin(), sequence.end(), 0);
    std::stable_sort(sequence.begin(), sequence.end(), [&](int a, int b) {
        return order == Qt::AscendingOrder ? keys[a] < keys[b] : keys[b] < keys[a];
    });
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    QList<Row> sorted;
    sorted.reserve(m_rows.size());
    QList<int> newRow(m_rows.size());
    for (int at = 0; at < sequence.size(); ++at) {
        sorted.append(std::move(m_rows[sequence[at]]));
        newRow[sequence[at]] = at;
    }
    m_rows = std::move(sorted);
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    for (const QModelIndex &index : before)
        after.append(this->index(newRow[index.row()], index.column()));
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

int ResultsModel::appendRow(const QString &mainText)
{
    const int row = int(m_rows.size());
    beginInsertRows({}, row, row);
    m_rows.append(Row{});
    setText(row, 0, mainText);
    endInsertRows();
    return row;
}

const QString *ResultsModel::longText(const Row &cells, int column)
{
    for (const auto &[at, text] : cells.longTexts) {
        if (at == column)
            return &text;
    }
    return nullptr;
}

QByteArrayView ResultsModel::keptText(const Row &cells, int column)
{
    const qint32 start = column == 0 ? 0 : cells.ends[column - 1];
    return QByteArrayView(cells.texts).sliced(start, cells.ends[column] - start);
}

QString ResultsModel::text(int row, int column) const
{
    const Row &cells = m_rows[row];
    if (const QString *whole = longText(cells, column))
        return *whole;
    return QString::fromUtf8(keptText(cells, column));
}

bool ResultsModel::holds(int row, int column, const QString &lowered) const
{
    const Row &cells = m_rows[row];
    const QByteArrayView utf8 = keptText(cells, column);
    const bool asciiCell = std::all_of(utf8.begin(), utf8.end(), [](char c) { return uchar(c) < 0x80; });
    if (longText(cells, column) || !asciiCell) {
        QString whole = text(row, column);
        return !whole.isEmpty() && std::move(whole).toLower().contains(lowered);
    }
    // Lower-casing ASCII text changes only A-Z, so a search of its bytes, lower-cased one by one,
    // for lower-case ASCII gives the same answer; a text with other characters cannot occur in it.
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    const auto same = [&lower](char c, QChar wanted) { return lower(c) == wanted.unicode(); };
    return !utf8.isEmpty() && std::search(utf8.begin(), utf8.end(), lowered.begin(), lowered.end(), same) != utf8.end();
}

void ResultsModel::setText(int row, int column, const QString &text)
{
    Row &target = m_rows[row];
    target.longTexts.removeIf([column](const auto &kept) { return kept.first == column; });
    const bool isLong = text.size() > ShownChars;
    if (isLong)
        target.longTexts.append({column, text});
    // A lone half of a surrogate pair becomes U+FFFD, as the workbook writes it.
    const QByteArray utf8 = isLong ? QByteArray() : QByteArray(QStringEncoder(QStringEncoder::Utf8).encode(text));
    const qint32 start = column == 0 ? 0 : target.ends[column - 1];
    const qint32 change = qint32(utf8.size()) - (target.ends[column] - start);
    target.texts.replace(start, target.ends[column] - start, utf8);
    for (int later = column; later < ColumnCount; ++later)
        target.ends[later] += change;
    noteChanged(row);
}

bool ResultsModel::isChecked(int row) const
{
    return m_rows[row].checked;
}

void ResultsModel::setChecked(int row, bool checked)
{
    if (m_rows[row].checked == checked)
        return;
    m_rows[row].checked = checked;
    noteChanged(row);
}

void ResultsModel::noteChanged(int row)
{
    if (m_changedFirst < 0)
        QMetaObject::invokeMethod(this, &ResultsModel::tellChanged, Qt::QueuedConnection);
    m_changedFirst = m_changedFirst < 0 ? row : std::min(m_changedFirst, row);
    m_changedLast = std::max(m_changedLast, row);
}

void ResultsModel::tellChanged()
{
    // Rows cleared or sorted meanwhile: the views are told of what is there now.
    const int last = std::min(m_changedLast, rowCount() - 1);
    if (m_changedFirst >= 0 && m_changedFirst <= last)
        Q_EMIT dataChanged(index(m_changedFirst, 0), index(last, ColumnCount - 1));
    m_changedFirst = m_changedLast = -1;
}

void ResultsModel::copyRows(const ResultsModel &other)
{
    beginResetModel();
    m_rows = other.m_rows;
    endResetModel();
}

void ResultsModel::clear()
{
    beginResetModel();
    m_rows.clear();
    m_rows.squeeze();
    endResetModel();
}
