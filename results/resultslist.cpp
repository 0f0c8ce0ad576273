#include "results/resultslist.h"

#include "results/resultsmodel.h"
#include "results/resultsview.h"
#include "support/apperror.h"
#include "support/doevents.h"

#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <cmath>

int TwipsToPixels(int twips)
{
    const QScreen *screen = QGuiApplication::primaryScreen();
    const double dpi = screen ? screen->logicalDotsPerInch() : 96.0;
    return int(std::lround(twips * dpi / 1440.0));
}

ResultsList::ResultsList(ResultsView *view, QLabel *totalLabel, QLabel *selectedLabel, QObject *parent)
    : QObject(parent), m_view(view), m_rows(view->rows()), m_total(totalLabel), m_selected(selectedLabel)
{
    connect(m_rows, &ResultsModel::userChecked, this, [this](int row) { Q_EMIT ItemCheck(row + 1); });
}

QStringList ResultsList::columnHeaders()
{
    return ResultsModel::columnHeaders();
}

void ResultsList::createColumns(const QList<int> &widthsTwips)
{
    // The view has the six columns from the start; they get their widths here.
    setColumnWidthsTwips(widthsTwips);
}

void ResultsList::setColumnWidthsTwips(const QList<int> &widthsTwips)
{
    for (int column = 0; column < widthsTwips.size() && column < ResultsModel::ColumnCount; ++column) {
        const int pixels = TwipsToPixels(widthsTwips[column]);
        m_view->setColumnWidth(column, pixels);
        m_view->setColumnHidden(column, pixels == 0);
    }
}

int ResultsList::rowCount() const
{
    return m_rows->rowCount();
}

int ResultsList::index(int row) const
{
    if (row < 1 || row > rowCount())
        throw AppError(QStringLiteral("Subscript out of range"));
    return row - 1;
}

int ResultsList::appendRow(const QString &mainText)
{
    return m_rows->appendRow(mainText) + 1;
}

QString ResultsList::text(int row, int column) const
{
    return m_rows->text(index(row), column);
}

bool ResultsList::holds(int row, int column, const QString &lowered) const
{
    return m_rows->holds(index(row), column, lowered);
}

void ResultsList::setText(int row, int column, const QString &text)
{
    m_rows->setText(index(row), column, text);
}

bool ResultsList::isChecked(int row) const
{
    return m_rows->isChecked(index(row));
}

void ResultsList::setChecked(int row, bool checked)
{
    m_rows->setChecked(index(row), checked);
}

void ResultsList::clear()
{
    m_rows->clear();
}

void ResultsList::copyRows(const ResultsList &other)
{
    m_rows->copyRows(*other.m_rows);
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
    PacedDoEvents yield;
    for (int index = 0; index < rows; ++index) {
        // A yield may have let Clear List run: rows gone since the start count as unchecked.
        if (index < rowCount() && m_rows->isChecked(index))
            ++checked;
        yield();
    }
    return checked;
}
