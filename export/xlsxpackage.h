#pragma once

#include <QString>

// Checks a saved workbook without inflating it: the zip's end record closes the file, its central
// directory lists every part a workbook has, each part's local header agrees with its entry and
// its data lies before the directory, and the sheet holds at least sheetBytes (what the writer
// put in its rows). A temporary file that a full disk cut short is written into the package
// without any error from the library; this is where it shows.
bool IsCompletePackage(const QString &path, qint64 sheetBytes);

// Gives the cell format at xfIndex in a saved workbook's styles the quote-prefix mark,
// quotePrefix="1": how Excel stores an entry typed with a leading "'", so that the text stays
// text when it is edited. libxlsxwriter has no setting for it. Only the styles part and what
// follows it are rewritten, the styles stored uncompressed. False when it cannot be read or
// written.
bool MarkQuotePrefix(const QString &path, int xfIndex);
