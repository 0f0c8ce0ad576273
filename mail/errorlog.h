#pragma once

#include <QString>

// The error log: TEMP / errorlog.txt. Without TEMP, or when others can write to that folder, the
// user's own state folder holds it ($XDG_STATE_HOME/Quorvane, ~/.local/state/Quorvane).
QString ErrorLogPath();
// Appends one entry: date text, " : ", text, CR LF, 52 asterisks, CR LF. Every failure is ignored.
void AppendErrorLog(const QString &text);
