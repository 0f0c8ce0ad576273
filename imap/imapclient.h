#pragma once

#include "imap/email.h"
#include "imap/imapfailure.h"
#include "imap/mailboxlist.h"

#include <QList>
#include <QObject>
#include <QSslCertificate>
#include <QString>
#include <memory>

// An IMAP4rev1 client (RFC 3501) over implicit TLS, with the ID command (RFC 2971).
// Single-threaded: every call waits in a local event loop, so the window stays alive and other
// handlers (even calls on this instance) may run meanwhile; abortCheck is raised at least every
// 100 ms while a call waits. Status results: 1 = success, 0 = failure (see lastErrorText()).
class ImapClient : public QObject {
    Q_OBJECT
public:
    explicit ImapClient(QObject *parent = nullptr);
    ~ImapClient() override;

    void setSsl(bool on);
    void setPort(int port);
    // CAs trusted in addition to the system's; verification itself is never turned off.
    void setExtraCaCertificates(const QList<QSslCertificate> &certificates);
    // Longest silence of the server while a call waits for it: every byte that arrives starts
    // the count again, so an answer that keeps coming is never cut.
    void setTimeoutMs(int ms);
    // When the connection is lost during a sequential run, the client signs in again as before,
    // selects the mailbox again and goes on; the first try at once, each later one after a pause
    // twice as long as the one before it, starting at this one.
    static constexpr int DefaultReconnectPauseMs = 4000;
    void setReconnectPauseMs(int ms);
    // Bounds of the fetches kept in flight during an announced run: how many commands, and the
    // bytes their messages may hold. 0 commands turns reading ahead off.
    static constexpr int DefaultReadAheadCount = 1000;
    static constexpr qint64 DefaultReadAheadBytes = qint64(16) << 20;
    void setReadAhead(int commands, qint64 bytes);

    int connect(const QString &host);  // closes an existing connection first
    QString sendRawCommand(const QString &command); // raw response text; empty = failure
    int login(const QString &user, const QString &password);
    std::unique_ptr<MailboxList> listMailboxes(const QString &reference, const QString &pattern); // nullptr = failure
    int selectMailbox(const QString &name);
    int messageCount() const; // EXISTS of the selected mailbox
    // The caller will fetch first..last by sequence number, one after the other: the fetches of
    // later numbers may be sent while earlier ones are handed over. Any other call ends the run.
    // A connection lost during the run (closed, reset, BYE, silence) is replaced by a new one,
    // signed in and selected as before, which takes the run up at the first number not handed
    // over; a number that breaks the new connection too is given up, and the run goes on after
    // it. After 3 failed tries in a row, or when the mailbox's UIDVALIDITY or message count has
    // changed meanwhile, the run ends with the connection closed.
    void expectSequentialFetches(int first, int last);
    bool inSequentialRun() const; // false once the run has ended, given up or been replaced
    std::unique_ptr<Email> fetchSingle(int number, bool byUid); // nullptr on failure or abort; never sets \Seen
    QString lastErrorText() const; // never contains the password
    ImapFailure lastFailure() const;
    int disconnect();
    bool isConnected() const;

Q_SIGNALS:
    void abortCheck(bool &abort);   // set abort true to make the running call give up
    void percentDone(int percent);  // 0..100 during a fetch

private:
    class Private;
    std::unique_ptr<Private> d;
};
