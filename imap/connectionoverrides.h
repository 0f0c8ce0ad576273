#pragma once

#include <QList>
#include <QSslCertificate>
#include <QString>

// Where the program signs in. Defaults to the mail service; the environment can point it at
// another IMAP server (tests, other providers). Read here and nowhere else.
struct ConnectionOverrides {
    QString host;   // QUORVANE_IMAP_HOST, default imap.mail.yahoo.com
    int port = 993; // QUORVANE_IMAP_PORT; a value that is not a port is ignored
    QString caFile; // QUORVANE_CA_FILE: extra CA bundle (PEM) trusted besides the system's

    static ConnectionOverrides fromEnvironment();
    // The certificates in caFile; empty when no file is set or it holds none.
    QList<QSslCertificate> caCertificates() const;
};
