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
// A row grows with its text up to this many lines, as a spreadsheet would show text with line
// breaks, and no further: the list stays readable, and each cell still shows its start.
constexpr int MaxRowLines = 5;
constexpr double LineHeight = 15; // points, for the default 11 pt font
constexpr int FilterButtonRoom = 3; // characters the header's filter button covers

int longestLine(const QString &text)
{
    int longest = 0;
    for (const QStringView line : QStringView(text).split(u'\n'))
        longest = std::max(longest, int(line.size()));
    return longest;
}

// Line ends at the text's end add no line a reader needs to see.
int lineCount(const QString &text)
{
    QStringView shown(text);
    while (shown.endsWith(u'\n'))
        shown.chop(1);
    int lines = 0;
    for (const QStringView line : shown.split(u'\n'))
        lines += 1 + int(line.size() / MaxColumnWidth);
    return lines;
}

bool startsLikeAFormula(const QString &text)
{
    return !text.isEmpty() && QStringView(u"=+-@").contains(text.front());
}

struct SheetFormats {
    lxw_format *header;
    lxw_format *data;
    lxw_format *quoted; // data marked in the saved styles with quotePrefix
};

SheetFormats addFormats(lxw_workbook *workbook)
{
    const auto topAligned = [workbook] {
        lxw_format *format = workbook_add_format(workbook);
        format_set_align(format, LXW_ALIGN_VERTICAL_TOP);
        format_set_text_wrap(format);
        return format;
    };
    SheetFormats formats{topAligned(), topAligned(), topAligned()};
    format_set_bold(formats.header);
    // The library has no quote-prefix setting. The text number format (49, "@") keeps such an
    // entry text in the spreadsheet too, and tells this format apart from the plain one.
    format_set_num_format_index(formats.quoted, 49);
    return formats;
}

lxw_format *formatFor(const SheetFormats &formats, int row, const QString &text)
{
    if (row == 1)
        return formats.header;
    return startsLikeAFormula(text) ? formats.quoted : formats.data;
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
    cell.width = longestLine(cell.text) + (row == 1 ? FilterButtonRoom : 0);
    cell.lines = lineCount(cell.text);
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

lxw_error XlsxWorkbook::writeSheet(lxw_workbook *workbook, lxw_worksheet *sheet, int &quotedFormat) const
{
    const SheetFormats formats = addFormats(workbook);
    lxw_error error = LXW_NO_ERROR;
    int row = 1;
    int rowLines = 1;
    int lastColumn = 1;
    // Rows go out in order; each is as tall as its tallest cell needs.
    const auto finishRow = [&] {
        if (error == LXW_NO_ERROR && rowLines > 1)
            error = worksheet_set_row(sheet, lxw_row_t(row - 1), LineHeight * std::min(rowLines, MaxRowLines), nullptr);
    };
    for (auto cell = m_cells.begin(); cell != m_cells.end() && error == LXW_NO_ERROR; ++cell) {
        const auto [cellRow, column] = cell->first;
        if (cellRow != row) {
            finishRow();
            row = cellRow;
            rowLines = 1;
        }
        rowLines = std::max(rowLines, cell->second.lines);
        lastColumn = std::max(lastColumn, column);
        const QString &text = cell->second.text;
        if (!text.isEmpty())
            error = worksheet_write_string(sheet, lxw_row_t(row - 1), lxw_col_t(column - 1), text.toUtf8().constData(),
                                           formatFor(formats, row, text));
    }
    finishRow();
    for (const auto &[column, width] : m_widths)
        if (error == LXW_NO_ERROR)
            error = worksheet_set_column(sheet, lxw_col_t(column - 1), lxw_col_t(column - 1), width, nullptr);
    if (error == LXW_NO_ERROR)
        error = worksheet_autofilter(sheet, 0, 0, lxw_row_t(row - 1), lxw_col_t(lastColumn - 1));
    worksheet_freeze_panes(sheet, 1, 0);
    quotedFormat = lxw_format_get_xf_index(formats.quoted);
    return error;
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
    int quotedFormat = 0;
    lxw_error error = writeSheet(workbook, sheet, quotedFormat);
    const lxw_error closed = workbook_close(workbook);
    if (error == LXW_NO_ERROR)
        error = closed;
    if (error != LXW_NO_ERROR) {
        QFile::remove(temporary);
        throw saveError(folder, QString::fromUtf8(lxw_strerror(error)));
    }
    if (!MarkQuotePrefix(temporary, quotedFormat) || !IsCompletePackage(temporary)) {
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
