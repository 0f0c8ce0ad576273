#pragma once

#include "imap/imapfailure.h"

#include <QString>

// The line that names why signing in (or selecting, or listing) failed, for the failure message
// and the error log; empty when the server itself refused, or the user stopped the call.
QString FailureReason(ImapFailure failure, const QString &host, int port);
