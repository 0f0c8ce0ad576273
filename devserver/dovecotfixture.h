#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// A real Dovecot of one process (a test program, the demo, a bench): imaps on a free loopback
// port, a CA and a server certificate made with openssl, passwd-file users, maildir. Started on
// first use and stopped when the process exits. Parallel processes do not collide.
class DovecotFixture {
public:
    struct Folder {
        QString name;               // full mailbox name, e.g. "Archive/2021" or "Entwürfe"
        QList<QByteArray> messages; // raw RFC 5322 messages, appended in this order
    };
    struct Account {
        QString user;
        QString password;
    };

    static DovecotFixture &instance(); // starts the server; a failed start fails the test run loudly

    QString host() const;   // "localhost": the name in the server certificate
    int port() const;       // imaps
    int plainPort() const;  // plain IMAP (no TLS) on the same host: for "TLS to a plain port"
    QString caFile() const; // PEM of the CA that signed the server certificate

    // The account seeded from tests/data/mailboxes (see the README there):
    // "ann.example" / "s3cret-Pw".
    Account seededAccount() const;
    QStringList seededFolders() const; // in the order the server lists them, names in UTF-8
    // The folders and messages of tests/data/mailboxes, in the manifest's order (no server needed).
    static QList<Folder> loadSeedData();
    // A fresh account of its own with the given folders (INBOX always exists), written before
    // its first login; names are unique in the process ("user1.example", ...). Folder names
    // must not contain "." (the Maildir++ hierarchy character). Throws std::runtime_error.
    Account createAccount(const QList<Folder> &folders);
    // The same with a password of the caller's choice (no ":" or line break).
    Account createAccount(const QList<Folder> &folders, const QString &password);
    // Through doveadm, at any time: the folder must exist. Throws std::runtime_error.
    void appendMessage(const Account &account, const QString &folder, const QByteArray &message);

    // Stops the server as an administrator would (SIGTERM to its master) and waits until it has
    // gone, its connections with it; start() brings it back on the same ports with the same mail.
    void stop();
    void start();

    // Points the program at this server: QUORVANE_IMAP_HOST, QUORVANE_IMAP_PORT, QUORVANE_CA_FILE.
    void exportEnvironment() const;

    // The certificates, also for the fake server: server certificate and key for "localhost",
    // and a second CA that signed nothing the server uses (an untrusted chain).
    QString serverCertFile() const;
    QString serverKeyFile() const;
    QString untrustedCaFile() const;
    QString logFile() const; // Dovecot's log, to look into when a test fails

private:
    DovecotFixture();
    ~DovecotFixture();
    struct Private;
    Private *d;
};
