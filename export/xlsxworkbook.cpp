#include "export/xlsxworkbook.h"

#include "export/fileopener.h"
#include "export/xlsxpackage.h"
#include "export/xlsxtarget.h"
#include "support/apperror.h"
#include "support/doevents.h"
#include "support/messageseam.h"
#include "support/privatefiles.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <future>
#include <utility>

namespace {

constexpr double MaxColumnWidth = 255;
// A row grows with its text up to this many lines, as a spreadsheet would show text with line
// breaks, and no further: the list stays readable, and each cell still shows its start.
constexpr int MaxRowLines = 5;
constexpr double LineHeight = 15; // points, for the default 11 pt font
constexpr int FilterButtonRoom = 3; // characters the header's filter button covers
constexpr int PackingPollMs = 20;

struct TextShape {
    int longestLine = 0;
    int lines = 0; // when wrapped at the widest column; line ends at the text's end add none
};

TextShape shapeOf(QStringView text)
{
    while (text.endsWith(u'\n'))
        text.chop(1);
    TextShape shape;
    qsizetype start = 0;
    for (;;) {
        const qsizetype end = text.indexOf(u'\n', start);
        const qsizetype length = (end < 0 ? text.size() : end) - start;
        shape.longestLine = std::max(shape.longestLine, int(length));
        shape.lines += 1 + int(length / MaxColumnWidth);
        if (end < 0)
            return shape;
        start = end + 1;
    }
}

bool startsLikeAFormula(const QString &text)
{
    return !text.isEmpty() && QStringView(u"=+-@").contains(text.front());
}

lxw_format *topAligned(lxw_workbook *workbook)
{
    lxw_format *format = workbook_add_format(workbook);
    format_set_align(format, LXW_ALIGN_VERTICAL_TOP);
    format_set_text_wrap(format);
    return format;
}

} // namespace

XlsxWorkbook::XlsxWorkbook()
    : m_folder(WorkbookFolder()), m_staging(m_folder + QStringLiteral("/.Quorvane export XXXXXX"))
{
    // Written in a folder of our own, into a file made new for the user alone (the writer
    // truncates it and keeps its mode), then given its final name.
    if (!m_staging.isValid())
        fail(m_staging.errorString());
    m_temporary = m_staging.filePath(QStringLiteral("workbook.xlsx"));
    QFile part(m_temporary);
    if (!part.open(QIODevice::WriteOnly | QIODevice::NewOnly, QFileDevice::ReadOwner | QFileDevice::WriteOwner))
        fail(part.errorString());
    part.close();

    const QByteArray fileName = QFile::encodeName(m_temporary);
    QByteArray temporaryFolder = QFile::encodeName(m_staging.path());
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = temporaryFolder.data();
    m_workbook = workbook_new_opt(fileName.constData(), &options);
    m_sheet = m_workbook ? workbook_add_worksheet(m_workbook, nullptr) : nullptr;
    if (!m_sheet || !m_sheet->optimize_tmpfile) {
        lxw_workbook_free(m_workbook);
        m_workbook = nullptr;
        fail(QStringLiteral("out of memory"));
    }
    m_formats = {topAligned(m_workbook), topAligned(m_workbook), topAligned(m_workbook)};
    format_set_bold(m_formats.header);
    // The library has no quote-prefix setting. The text number format (49, "@") keeps such an
    // entry text in the spreadsheet too, and tells this format apart from the plain one.
    format_set_num_format_index(m_formats.quoted, 49);
}

XlsxWorkbook::~XlsxWorkbook()
{
    lxw_workbook_free(m_workbook); // one never saved; its staging folder goes with it
}

void XlsxWorkbook::setCell(int row, int column, const QString &text)
{
    if (row < 1 || row > int(LXW_ROW_MAX) || column < 1 || column > LXW_COL_MAX || !m_workbook)
        throw AppError(QStringLiteral("Application-defined or object-defined error"));
    // Only the row being written is held: a row already written cannot take a cell.
    if (row < m_row)
        throw AppError(QStringLiteral("Row %1 was written already.").arg(row));
    if (row != m_row) {
        finishRow();
        m_row = row;
        m_rowLines = 1;
    }
    m_lastColumn = std::max(m_lastColumn, column);
    // The text marker: a string cell is text already, so only the apostrophe goes.
    bool truncated = false;
    const QString cellText = CellTextForXlsx(text.startsWith(u'\'') ? text.mid(1) : text, &truncated);
    m_cut = m_cut || truncated;
    if (cellText.isEmpty())
        return;
    const TextShape shape = shapeOf(cellText);
    m_rowLines = std::max(m_rowLines, shape.lines);
    double &width = m_widths[column];
    width = std::min(MaxColumnWidth, std::max(width, double(shape.longestLine + (row == 1 ? FilterButtonRoom : 0) + 1)));
    lxw_format *format = row == 1 ? m_formats.header : startsLikeAFormula(cellText) ? m_formats.quoted : m_formats.data;
    check(worksheet_write_string(m_sheet, lxw_row_t(row - 1), lxw_col_t(column - 1), cellText.toUtf8().constData(),
                                 format));
}

// Each row is as tall as its tallest cell needs; set while it is still the one being written.
void XlsxWorkbook::finishRow()
{
    if (m_rowLines > 1)
        check(worksheet_set_row(m_sheet, lxw_row_t(m_row - 1), LineHeight * std::min(m_rowLines, MaxRowLines), nullptr));
}

void XlsxWorkbook::autoFitColumns()
{
    for (const auto &[column, width] : m_widths)
        check(worksheet_set_column(m_sheet, lxw_col_t(column - 1), lxw_col_t(column - 1), width, nullptr));
}

void XlsxWorkbook::check(lxw_error error)
{
    if (m_error == LXW_NO_ERROR)
        m_error = error;
}

void XlsxWorkbook::fail(const QString &reason) const
{
    throw AppError(QStringLiteral("The workbook could not be saved in the folder \"%1\": %2").arg(m_folder, reason));
}

QString XlsxWorkbook::save()
{
    if (!m_workbook)
        throw AppError(QStringLiteral("Application-defined or object-defined error"));
    finishRow();
    check(worksheet_autofilter(m_sheet, 0, 0, lxw_row_t(m_row - 1), lxw_col_t(m_lastColumn - 1)));
    worksheet_freeze_panes(m_sheet, 1, 0);
    const int quotedFormat = lxw_format_get_xf_index(m_formats.quoted);
    // The library does not check its writes of the rows; a full disk shows in the file's state
    // once the last row is out too.
    lxw_worksheet_write_single_row(m_sheet);
    std::FILE *rows = m_sheet->optimize_tmpfile;
    const bool rowsWritten = std::fflush(rows) == 0 && !std::ferror(rows);
    const long rowBytes = std::ftell(rows);
    // Packing deflates every row at once, for seconds at many rows: it runs beside the window,
    // which keeps yielding meanwhile.
    auto closing = std::async(std::launch::async, [workbook = std::exchange(m_workbook, nullptr)] {
        return workbook_close(workbook);
    });
    while (closing.wait_for(std::chrono::milliseconds(PackingPollMs)) != std::future_status::ready)
        DoEvents();
    check(closing.get());
    if (m_error != LXW_NO_ERROR)
        fail(QString::fromUtf8(lxw_strerror(m_error)));
    if (!rowsWritten || rowBytes < 0 || !MarkQuotePrefix(m_temporary, quotedFormat)
        || !IsCompletePackage(m_temporary, rowBytes))
        fail(QStringLiteral("it was not written completely; the disk may be full"));
    // Nothing at the final name is replaced or followed: a name taken meanwhile, by a file or
    // a symlink, makes us take the next one.
    QString finalPath = NewWorkbookPath();
    for (int attempt = 0; !RenameWithoutReplacing(m_temporary, finalPath); ++attempt) {
        const QString next = NewWorkbookPath();
        if (attempt == 100 || next == finalPath)
            fail(QStringLiteral("the file could not be given its name"));
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
    QString failure;
    if (!FileOpener::current().open(path, failure))
        throw AppError(QStringLiteral("The workbook was saved as \"%1\", but no spreadsheet program could be opened "
                                      "on it: %2")
                           .arg(QDir::toNativeSeparators(path), failure));
}
