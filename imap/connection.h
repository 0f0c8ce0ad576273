#pragma once

#include "imap/imapcommand.h"
#include "imap/imapfailure.h"
#include "imap/imapresponse.h"
#include "imap/responsereader.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSslCertificate>
#include <QSslError>
#include <QSslSocket>
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>

// Where and how to connect; kept, so that the same server can be reached again.
struct Endpoint {
    QString host;
    int port = 0;
    bool ssl = false;
    QList<QSslCertificate> extraCas; // trusted besides the system's; verification is never turned off

    QString shown() const; // for the last-error text
};

// Why a connection could not be made, or was lost.
struct ConnectionFailure {
    ImapFailure kind;
    QString text;
};

// Takes an untagged answer meant for one command; false: the answer was not well formed.
using UntaggedHandler = std::function<bool(const ImapResponse &)>;

// A command whose tagged answer is still to come. Kept until that answer arrives, even when its
// call gave up, so the rest of the answer is read off the connection before the next command.
struct SentCommand {
    QByteArray tag;
    QString shown;            // as the last-error text shows it, secrets masked
    int call = 0;             // the client call it belongs to
    // A FETCH by sequence number: its untagged answers carry a number in first..last.
    int fetchFirst = 0;
    int fetchLast = 0;
    QList<QByteArray> unsent; // the pieces still to send, each after the server's continuation
    UntaggedHandler untagged;
    std::optional<ImapResponse> completion;
};

// One connection to the server: the socket, the reader of its answers, the tags, the commands in
// flight and where each untagged answer goes. It decides nothing about waiting: the client's wait
// pumps it, and sleeps on it until there may be something new.
class Connection : public QObject {
    Q_OBJECT
public:
    explicit Connection(QObject *parent = nullptr);
    ~Connection() override;

    // Starts connecting; the handshake and the greeting arrive while the client waits. Gives the
    // reason when the endpoint cannot work, empty otherwise.
    QString open(const Endpoint &endpoint);
    // Drops the socket and all in flight; the server's state goes with it. Tags keep counting.
    void close();
    bool hasSocket() const { return bool(m_socket); }
    // The most the socket holds unread; the server keeps the rest until it is read.
    void setReadBufferBytes(qint64 bytes);

    bool handshakeDone() const; // connected, encrypted when asked for, greeting read
    const std::optional<ImapResponse> &greeting() const { return m_greeting; }
    // After handshakeDone(): takes the session the greeting offers; empty, or why it refuses.
    QString acceptGreeting();
    bool isReady() const;       // greeted and connected: commands may be sent

    // Why the wait cannot go on: the answers broke the protocol, or no answer can come anymore.
    bool isBroken() const { return !m_protocolError.isEmpty(); }
    bool isLost() const;
    QString protocolError() const { return m_protocolError; }
    QString lostReason() const;               // after isLost()
    ConnectionFailure connectFailure() const; // after isLost() while connecting
    // Every byte read counts, so a wait can tell an answer still arriving from a silent server.
    qint64 bytesRead() const { return m_bytesRead; }

    // A command under the next tag, to be sent by send() once the connection is ready for it.
    std::shared_ptr<SentCommand> prepare(int call, const ImapCommand &command);
    void send(const std::shared_ptr<SentCommand> &command);
    bool idle() const { return m_inFlight.isEmpty(); } // every tagged answer is in
    // Reads what arrived and routes it: an untagged answer that is not a FETCH goes to the
    // command of `call`, the client call now waiting. Emits nothing, so no user handler can run
    // in the middle of it.
    void pump(int call);

    // Lets the event loop run until there is activity or `ms` have passed; returns at once when
    // there was activity since the last sleep, which the caller's handlers may have let through.
    void sleep(int ms);

    int exists() const { return m_exists; } // EXISTS of the selected mailbox
    qint64 uidValidity() const { return m_uidValidity; } // of the selected mailbox; -1 when not told
    void forgetMailbox()
    {
        m_exists = 0;
        m_uidValidity = -1;
    }
    const ResponseReader &reader() const { return m_reader; } // the answer now arriving

Q_SIGNALS:
    void activity(); // bytes arrived or left, the handshake moved on, or the socket closed

private:
    void handle(const ImapResponse &r, int call);
    bool handToFetches(const ImapResponse &r);
    void noteUntagged(const ImapResponse &r);

    QPointer<QSslSocket> m_socket;
    Endpoint m_endpoint;
    qint64 m_readBufferBytes = 0;
    ResponseReader m_reader;
    QList<std::shared_ptr<SentCommand>> m_inFlight; // in the order sent
    std::optional<ImapResponse> m_greeting;
    bool m_greeted = false;
    QString m_protocolError;
    QByteArray m_bye;
    bool m_closedByPeer = false; // a close that TLS announces may come long before the TCP one
    QList<QSslError> m_sslErrors;
    qint64 m_bytesRead = 0;
    int m_tagCounter = 0;
    int m_exists = 0;
    qint64 m_uidValidity = -1;
    bool m_activitySinceSleep = false;
};
