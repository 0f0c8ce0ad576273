#pragma once

#include "export/spreadsheettarget.h"

// Writes a real .xlsx workbook with libxlsxwriter, saved to the documents folder and opened with
// the desktop's spreadsheet application when made visible. Every cell is a string, never a formula.
class XlsxTarget : public SpreadsheetTarget {
public:
    bool isAvailable() override;
    std::unique_ptr<SpreadsheetApplication> createApplication() override;
    int maxColumn() const override { return 16384; }
};

// The folder new workbooks go to: the documents folder (made for the user alone when missing;
// the home folder when it cannot be).
QString WorkbookFolder();

// Where a new workbook goes: WorkbookFolder()/"Quorvane export YYYY-MM-DD HH-MM-SS.xlsx", never
// a name a file or symlink has.
QString NewWorkbookPath();

// Cell text the format can carry: NUL, lone surrogates, U+FFFE and U+FFFF become U+FFFD (other
// control characters are kept: the library escapes them), a literal _xHHHH_ is escaped, and the
// text is cut at 32,767 UTF-16 units (never inside a surrogate pair).
// truncated is set when the cut was made.
QString CellTextForXlsx(const QString &text, bool *truncated = nullptr);
