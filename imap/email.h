#pragma once

#include <QDateTime>
#include <QString>

// The values of one fetched message, decoded to Unicode.
struct Email {
    QString From;          // whole From field in display form, e.g. "Ann Example <ann@example.org>"
    QString FromName;      // the sender's display name, decoded; empty when none
    QString FromAddress;   // the sender's address
    QString Subject;       // RFC 2047 words decoded
    QDateTime Date;        // local time; from Date, or the server's INTERNALDATE when Date is missing or unreadable
    QString PlainTextBody; // first text/plain part that is not an attachment; empty when none
    QString HTMLTextBody;  // first text/html part that is not an attachment; empty when none
};
