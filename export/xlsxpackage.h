#pragma once

#include <QString>

// Reads a saved workbook back: every part of the zip inflates to its recorded size and CRC, and
// every XML part is well-formed to its end. A temporary file that a full disk cut short is
// written into the package without any error from the library; this is where it shows.
bool IsCompletePackage(const QString &path);
