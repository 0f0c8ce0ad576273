#include "results/resultslist.h"

#include "support/apperror.h"
#include "support/doevents.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QScreen>
#include <QTreeWidget>
#include <cmath>

namespace {

// Marks a programmatic change so that itemChanged does not pass it on as the user's click.
class SettingGuard {
public:
    explicit SettingGuard(bool &flag) : m_flag(flag), m_old(flag) { m_flag = true; }
    ~SettingGuard() { m_flag = m_old; }

private:
    bool &m_flag;
    bool m_old;
};

} // namespace

int TwipsToPixels(int twips)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInch() : 96.0;
    return int(std::lround(twips * dpi / 1440.0));
}

ResultsList::ResultsList(QTreeWidget *view, QLabel *totalLabel, QLabel *selectedLabel, QObject *parent)
    : QObject(parent), m_view(view), m_total(totalLabel), m_selected(selectedLabel)
{
    m_view->setRootIsDecorated(false);
    m_view->setUniformRowHeights(true);
    m_view->setSortingEnabled(false);
    connect(m_view, &QTreeWidget::itemChanged, this, [this](QTreeWidgetItem *changed, int column) {
        // Rows are not editable, so the only change that is not ours is the user's check box.
        if (m_settingCheck || column != 0)
            return;
        Q_EMIT ItemCheck(m_view->indexOfTopLevelItem(changed) + 1);
    });
}

QStringList ResultsList::columnHeaders()
{
    return {QStringLiteral("From"),    QStringLiteral("From Name"),     QStringLiteral("From Address"),
            QStringLiteral("Subject"), QStringLiteral("Received Date"), QStringLiteral("RecDate")};
}

void ResultsList::createColumns(const QList<int> &widthsTwips)
{
    m_view->setColumnCount(int(columnHeaders().size()));
    m_view->setHeaderLabels(columnHeaders());
    m_view->header()->setStretchLastSection(false);
    setColumnWidthsTwips(widthsTwips);
}

void ResultsList::setColumnWidthsTwips(const QList<int> &widthsTwips)
{
    for (int column = 0; column < widthsTwips.size() && column < m_view->columnCount(); ++column) {
        const int pixels = TwipsToPixels(widthsTwips[column]);
        m_view->setColumnWidth(column, pixels);
        m_view->setColumnHidden(column, pixels == 0);
    }
}

int ResultsList::rowCount() const
{
    return m_view->topLevelItemCount();
}

int ResultsList::appendRow(const QString &mainText)
{
    SettingGuard guard(m_settingCheck);
    auto *row = new QTreeWidgetItem;
    row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    row->setText(0, mainText);
    row->setCheckState(0, Qt::Unchecked);
    m_view->addTopLevelItem(row);
    return m_view->topLevelItemCount();
}

QTreeWidgetItem *ResultsList::item(int row) const
{
    QTreeWidgetItem *found = row >= 1 ? m_view->topLevelItem(row - 1) : nullptr;
    if (!found)
        throw AppError(QStringLiteral("Subscript out of range"));
    return found;
}

QString ResultsList::text(int row, int column) const
{
    return item(row)->text(column);
}

void ResultsList::setText(int row, int column, const QString &text)
{
    QTreeWidgetItem *target = item(row);
    SettingGuard guard(m_settingCheck);
    target->setText(column, text);
}

bool ResultsList::isChecked(int row) const
{
    return item(row)->checkState(0) == Qt::Checked;
}

void ResultsList::setChecked(int row, bool checked)
{
    QTreeWidgetItem *target = item(row);
    SettingGuard guard(m_settingCheck);
    target->setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}

void ResultsList::clear()
{
    SettingGuard guard(m_settingCheck);
    m_view->clear();
}

void ResultsList::showHeldBackRows()
{
    m_view->doItemsLayout();
}

void ResultsList::UpdateCounters(bool Reset)
{
    if (Reset) {
        m_total->setText(QStringLiteral("Total Number Of Emails: 0"));
        m_selected->setText(QStringLiteral("Selected Emails: 0"));
        return;
    }
    m_total->setText(QStringLiteral("Total Number Of Emails: ") + QString::number(rowCount()));
    const qint32 checked = CountChecked();
    m_selected->setText(QStringLiteral("Selected Emails: ") + QString::number(checked));
}

qint32 ResultsList::CountChecked()
{
    const int rows = rowCount();
    qint32 checked = 0;
    for (int index = 0; index < rows; ++index) {
        // The yield below may have let Clear List run: rows gone since the start count as unchecked.
        const QTreeWidgetItem *row = m_view->topLevelItem(index);
        if (row && row->checkState(0) == Qt::Checked)
            ++checked;
        DoEvents();
    }
    return checked;
}
