#pragma once

#include <QString>
#include <memory>

// The operations the export needs of a spreadsheet application, in the order it uses them.
// Every operation either succeeds or throws AppError. A text that begins with "'" is the text
// marker: the cell holds and shows the text after the apostrophe.
class SpreadsheetWorkbook {
public:
    virtual ~SpreadsheetWorkbook() = default;
    // The active sheet's cell; row and column count from 1, row first.
    virtual void setCell(int row, int column, const QString &text) = 0;
    virtual void autoFitColumns() = 0;
    // Shows the workbook to the user; from then on it is the user's.
    virtual void makeVisible() = 0;
};

class SpreadsheetApplication {
public:
    virtual ~SpreadsheetApplication() = default;
    virtual std::unique_ptr<SpreadsheetWorkbook> addWorkbook() = 0;
};

class SpreadsheetTarget {
public:
    virtual ~SpreadsheetTarget() = default;
    // Whether a spreadsheet application can be started (the detection's question).
    virtual bool isAvailable() = 0;
    virtual std::unique_ptr<SpreadsheetApplication> createApplication() = 0;
    // The last column a sheet has.
    virtual int maxColumn() const = 0;
};
