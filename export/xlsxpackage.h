#pragma once

#include <QString>

// Reads a saved workbook back: every part of the zip inflates to its recorded size and CRC, and
// every XML part is well-formed to its end. A temporary file that a full disk cut short is
// written into the package without any error from the library; this is where it shows.
bool IsCompletePackage(const QString &path);

// Gives the cell format at xfIndex in a saved workbook's styles the quote-prefix mark,
// quotePrefix="1": how Excel stores an entry typed with a leading "'", so that the text stays
// text when it is edited. libxlsxwriter has no setting for it. The package is rewritten in place,
// its styles part stored uncompressed. False when it cannot be read or written.
bool MarkQuotePrefix(const QString &path, int xfIndex);
