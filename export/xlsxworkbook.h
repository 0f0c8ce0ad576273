#pragma once

#include "export/spreadsheettarget.h"

#include <QString>
#include <map>
#include <utility>

// One workbook of the .xlsx target. Cells are kept until the workbook is made visible; then it is
// saved as a new file and handed to the desktop's spreadsheet application.
class XlsxWorkbook : public SpreadsheetWorkbook {
public:
    void setCell(int row, int column, const QString &text) override;
    void autoFitColumns() override;
    void makeVisible() override;

    // Writes the workbook to a new file (a temporary name in the same folder, renamed when
    // complete) and returns its path. Throws AppError when it cannot be written.
    QString save() const;

private:
    struct Cell {
        QString text;  // as stored: made fit for the format
        int width = 0; // characters of its longest line
    };
    std::map<std::pair<int, int>, Cell> m_cells; // (row, column), both from 1
    std::map<int, double> m_widths;              // column -> width in characters
    bool m_cut = false;
};
