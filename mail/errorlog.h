#pragma once

#include <QString>

// The error log: TEMP (or the platform's temporary folder) / errorlog.txt.
QString ErrorLogPath();
// Appends one entry: date text, " : ", text, CR LF, 52 asterisks, CR LF. Every failure is ignored.
void AppendErrorLog(const QString &text);
