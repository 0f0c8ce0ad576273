#include "export/xlsxworkbook.h"

#include "export/fileopener.h"
#include "export/xlsxpackage.h"
#include "export/xlsxtarget.h"
#include "support/apperror.h"
#include "support/messageseam.h"
#include "support/privatefiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <xlsxwriter.h>

#include <algorithm>

namespace {

constexpr double MaxColumnWidth = 255;

int longestLine(const QString &text)
{
    int longest = 0;
    for (const QStringView line : QStringView(text).split(u'\n'))
        longest = std::max(longest, int(line.size()));
    return longest;
}

AppError saveError(const QString &folder, const QString &reason)
{
    return AppError(QStringLiteral("The workbook could not be saved in the folder \"%1\": %2").arg(folder, reason));
}

} // namespace

void XlsxWorkbook::setCell(int row, int column, const QString &text)
{
    if (row < 1 || row > int(LXW_ROW_MAX) || column < 1 || column > LXW_COL_MAX)
        throw AppError(QStringLiteral("Application-defined or object-defined error"));
    // The text marker: a string cell is text already, so only the apostrophe goes.
    const QString shown = text.startsWith(u'\'') ? text.mid(1) : text;
    bool truncated = false;
    Cell cell;
    cell.text = CellTextForXlsx(shown, &truncated);
    cell.width = longestLine(cell.text);
    m_cut = m_cut || truncated;
    m_cells[{row, column}] = std::move(cell);
}

void XlsxWorkbook::autoFitColumns()
{
    m_widths.clear();
    for (const auto &[position, cell] : m_cells) {
        if (cell.text.isEmpty())
            continue;
        double &width = m_widths[position.second];
        width = std::min(MaxColumnWidth, std::max(width, double(cell.width + 1)));
    }
}

QString XlsxWorkbook::save() const
{
    QString finalPath = NewWorkbookPath();
    const QString folder = QFileInfo(finalPath).absolutePath();
    // Written in a folder of our own, into a file made new for the user alone (the writer
    // truncates it and keeps its mode), then given its final name.
    QTemporaryDir staging(folder + QStringLiteral("/.Quorvane export XXXXXX"));
    const QString temporary = staging.filePath(QStringLiteral("workbook.xlsx"));
    QFile part(temporary);
    if (!staging.isValid())
        throw saveError(folder, staging.errorString());
    if (!part.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        throw saveError(folder, part.errorString());
    part.close();
    const QByteArray fileName = QFile::encodeName(temporary);

    lxw_workbook *workbook = workbook_new(fileName.constData());
    lxw_worksheet *sheet = workbook ? workbook_add_worksheet(workbook, nullptr) : nullptr;
    if (!sheet) {
        workbook_close(workbook);
        QFile::remove(temporary);
        throw saveError(folder, QStringLiteral("out of memory"));
    }
    lxw_error error = LXW_NO_ERROR;
    for (const auto &[position, cell] : m_cells) {
        if (cell.text.isEmpty() || error != LXW_NO_ERROR)
            continue;
        error = worksheet_write_string(sheet, lxw_row_t(position.first - 1), lxw_col_t(position.second - 1),
                                       cell.text.toUtf8().constData(), nullptr);
    }
    for (const auto &[column, width] : m_widths)
        if (error == LXW_NO_ERROR)
            error = worksheet_set_column(sheet, lxw_col_t(column - 1), lxw_col_t(column - 1), width, nullptr);
    const lxw_error closed = workbook_close(workbook);
    if (error == LXW_NO_ERROR)
        error = closed;
    if (error != LXW_NO_ERROR) {
        QFile::remove(temporary);
        throw saveError(folder, QString::fromUtf8(lxw_strerror(error)));
    }
    if (!IsCompletePackage(temporary)) {
        QFile::remove(temporary);
        throw saveError(folder, QStringLiteral("it was not written completely; the disk may be full"));
    }
    // Nothing at the final name is replaced or followed: a name taken meanwhile, by a file or
    // a symlink, makes us take the next one.
    for (int attempt = 0; !RenameWithoutReplacing(temporary, finalPath); ++attempt) {
        const QString next = NewWorkbookPath();
        if (attempt == 100 || next == finalPath)
            throw saveError(folder, QStringLiteral("the file could not be given its name"));
        finalPath = next;
    }
    return finalPath;
}

void XlsxWorkbook::makeVisible()
{
    const QString path = save();
    if (m_cut)
        MsgBox(QStringLiteral("Some cell texts were longer than 32767 characters, the most a cell can hold; "
                              "they were cut at that length."));
    if (!FileOpener::current().open(path))
        throw AppError(QStringLiteral("The workbook was saved as \"%1\", but no program could be started to open it.")
                           .arg(QDir::toNativeSeparators(path)));
}
