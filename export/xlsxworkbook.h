#pragma once

#include "export/spreadsheettarget.h"

#include <QString>
#include <QTemporaryDir>
#include <xlsxwriter.h>

#include <map>

// One workbook of the .xlsx target, written as its cells arrive: rows must come in order, as the
// export writes them, and only the row being written is held in memory. When made visible it is
// given its final name and handed to the desktop's spreadsheet application; a workbook dropped
// before that leaves no file. Row 1 is the header: bold, kept in view and filtered. Data cells
// sit at the top of rows that show a few lines of their text, and a text led by "=", "+", "-" or
// "@" carries the quote-prefix mark, so that editing it in a spreadsheet keeps it text.
class XlsxWorkbook : public SpreadsheetWorkbook {
public:
    // Throws AppError when the workbook's folder cannot take it.
    XlsxWorkbook();
    ~XlsxWorkbook() override;

    void setCell(int row, int column, const QString &text) override;
    void autoFitColumns() override;
    void makeVisible() override;

    // Completes the file and gives it its final name (never one a file or symlink has); returns
    // its path. Throws AppError when it cannot be written. Called once.
    QString save();

private:
    struct Formats {
        lxw_format *header;
        lxw_format *data;
        lxw_format *quoted; // data marked in the saved styles with quotePrefix
    };

    void finishRow();
    void check(lxw_error error);
    [[noreturn]] void fail(const QString &reason) const;

    QString m_folder;
    QTemporaryDir m_staging; // ours alone; the library's own temporary files go here too
    QString m_temporary;
    lxw_workbook *m_workbook = nullptr;
    lxw_worksheet *m_sheet = nullptr;
    Formats m_formats{};
    int m_row = 1;      // the row being written
    int m_rowLines = 1; // lines its tallest cell shows
    int m_lastColumn = 1;
    std::map<int, double> m_widths; // column -> width in characters, from the texts written so far
    lxw_error m_error = LXW_NO_ERROR;
    bool m_cut = false;
};
