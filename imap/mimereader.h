#pragma once

#include "imap/email.h"

#include <QByteArray>
#include <QDateTime>

// Reads a message's raw bytes (RFC 5322 / MIME) into its values. Never throws; a broken
// message gives whatever could be read. internalDate stands in for a missing or unreadable Date.
Email ReadEmail(const QByteArray &raw, const QDateTime &internalDate);
