#pragma once

#include <QStringList>

// One real "2a. Get All Emails" run in this process, which does nothing else, so its peak
// resident set is the reader's: real widgets (offscreen), the results list's listing handler,
// MailStore and the error log, as the main window wires them. Signs in first (not timed), then
// times the click to its "Done.". Arguments: PORT USER PASSWORD FOLDER (host "localhost", the CA
// from QUORVANE_CA_FILE). Prints one "RESULT key=value ..." line; returns the exit code.
int RunOurReader(const QStringList &arguments);
