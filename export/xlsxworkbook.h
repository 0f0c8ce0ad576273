#pragma once

#include "export/spreadsheettarget.h"

#include <QString>
#include <xlsxwriter.h>

#include <map>
#include <utility>

// One workbook of the .xlsx target. Cells are kept until the workbook is made visible; then it is
// saved as a new file and handed to the desktop's spreadsheet application. Row 1 is the header:
// bold, kept in view and filtered. Data cells sit at the top of rows that show a few lines of
// their text, and a text led by "=", "+", "-" or "@" carries the quote-prefix mark, so that
// editing it in a spreadsheet keeps it text.
class XlsxWorkbook : public SpreadsheetWorkbook {
public:
    void setCell(int row, int column, const QString &text) override;
    void autoFitColumns() override;
    void makeVisible() override;

    // Writes the workbook to a new file (a temporary name in the same folder, renamed when
    // complete) and returns its path. Throws AppError when it cannot be written.
    QString save() const;

private:
    // Writes the cells with their formats, row heights and column widths, the frozen header and
    // its filter. quotedFormat is the index of the cell format that MarkQuotePrefix must mark.
    lxw_error writeSheet(lxw_workbook *workbook, lxw_worksheet *sheet, int &quotedFormat) const;

    struct Cell {
        QString text;  // as stored: made fit for the format
        int width = 0; // characters of its longest line
        int lines = 0; // lines it shows when wrapped at its column's width
    };
    std::map<std::pair<int, int>, Cell> m_cells; // (row, column), both from 1
    std::map<int, double> m_widths;              // column -> width in characters
    bool m_cut = false;
};
