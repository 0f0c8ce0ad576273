#pragma once

#include <QString>

// Where the program signs in. Defaults to the mail service; the environment can point it at
// another IMAP server (tests, other providers). Read here and nowhere else.
struct ConnectionOverrides {
    QString host;   // QUORVANE_IMAP_HOST, default imap.mail.yahoo.com
    int port = 993; // QUORVANE_IMAP_PORT
    QString caFile; // QUORVANE_CA_FILE: extra CA bundle (PEM) trusted besides the system's

    static ConnectionOverrides fromEnvironment();
};
