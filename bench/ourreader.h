#pragma once

#include <QStringList>

// One real "2a. Get All Emails" run in this process, which does nothing else, so its peak
// resident set is the reader's: the main window itself (offscreen) with its list, MailStore and
// error log. Signs in with "1. Connect" and picks the folder first (not timed), then times the
// click to its "Done.". Arguments: PORT USER PASSWORD FOLDER (host "localhost", the CA
// from QUORVANE_CA_FILE). Prints one "RESULT key=value ..." line; returns the exit code.
int RunOurReader(const QStringList &arguments);
