#pragma once

#include "tests/common/ssltcpserver.h"

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSslConfiguration>
#include <QString>
#include <QStringList>

class QSslSocket;

// A scripted IMAP server on the GUI thread of the test, for faults a real Dovecot does not
// produce. It listens on "localhost" (127.0.0.1, and ::1 when present) on a free port, with
// TLS from TestCertificates (the same CA and "localhost" certificate as the Dovecot fixture)
// or plain TCP. Nothing happens unless the test's event loop runs (WaitUntil, the client's
// own waiting loop, ...).
//
// Script, one instruction per line; leading blanks, empty lines and lines starting with "#"
// are ignored:
//   S: text          send text and CRLF ("S:" alone sends an empty line)
//   C: pattern       wait for the client's next line (without CRLF) and match it, ignoring
//                    letter case; "*" stands for any run of characters, e.g. "C: * LOGIN *".
//                    The line's first word becomes $TAG. A line that does not match is
//                    recorded in mismatch(), answered "* BYE Unexpected line" and the
//                    connection is closed.
//   SLEEP ms         pause before the next instruction
//   DRIP ms text     send text one byte at a time, ms between the bytes
//   RAW text         send text exactly, no CRLF added
//   REPEAT n text    send text n times, no CRLF added; "REPEAT * text" goes on until the client
//                    closes the connection. The copies are written as the connection takes
//                    them, so a huge answer is never held in memory whole.
//   CLOSE            close the connection (after what was sent so far)
//   RESET            abort the connection with a TCP reset, once what was sent so far has
//                    left for the client
//   STALL            do nothing more, keep the connection open
// In S:, DRIP, RAW and REPEAT, "$TAG" is the tag of the last matched client line; in DRIP, RAW
// and REPEAT the escapes \r \n \t \\ and \xHH stand for those bytes (escaped() writes them).
// After the last instruction the server behaves as after STALL. A script that does not parse
// throws std::invalid_argument.
//
// Connections: one at a time. Every accepted connection starts a script from its first line:
// connection k runs scripts[k], the last script again for all later ones. A new connection
// replaces (drops) the one still open.
class FakeImapServer : public QObject {
    Q_OBJECT
public:
    enum class Transport { Tls, Plain };

    explicit FakeImapServer(const QString &script, Transport transport = Transport::Tls);
    explicit FakeImapServer(const QStringList &scripts, Transport transport = Transport::Tls);
    ~FakeImapServer() override;

    // Serves this certificate, made for the key of TestCertificates (an expired or a self-signed
    // one), instead of the server certificate signed by the test CA.
    void setCertificate(const QString &certFile);

    QString host() const { return QStringLiteral("localhost"); }
    int port() const { return m_port; }

    int connectionCount() const { return m_connections; }
    bool connected() const { return m_socket != nullptr; } // the current connection is open
    // The latest connection has run every instruction of its script without a mismatch.
    bool scriptDone() const;
    QString mismatch() const { return m_mismatch; } // the first mismatch, empty when none
    // Every line the clients sent, all connections, in order, without CRLF.
    QStringList clientLines() const { return m_clientLines; }
    // The same lines as the bytes that came, for text that is not UTF-8.
    QList<QByteArray> clientBytes() const { return m_clientBytes; }

    // Text for RAW, DRIP or REPEAT that sends exactly these bytes.
    static QString escaped(const QByteArray &bytes);

private:
    struct Step {
        enum Kind { Send, Expect, Sleep, Drip, Raw, Repeat, Close, Reset, Stall } kind;
        QByteArray text;
        int ms = 0;
        qint64 count = 0; // REPEAT's copies; -1: until the connection closes
    };
    static QList<Step> parse(const QString &script);

    void accept(SslTcpServer &listener);
    void begin();
    void readClient();
    void dropped();
    void run();
    void pause(int ms);
    bool expect(const Step &step);
    bool repeat(const Step &step);
    void reset();
    qint64 unsentBytes() const;
    QByteArray withTag(const QByteArray &text) const;

    QList<QList<Step>> m_scripts;
    Transport m_transport;
    QSslConfiguration m_tls;
    SslTcpServer m_v4;
    SslTcpServer m_v6;
    int m_port = 0;

    QSslSocket *m_socket = nullptr;
    QList<Step> m_steps;
    qsizetype m_next = 0;
    qint64 m_progress = 0;  // bytes dripped or copies repeated of the current step
    QByteArray m_stepText;  // the current DRIP or REPEAT text, $TAG replaced
    bool m_running = false;
    bool m_paused = false;
    bool m_stalled = false;
    bool m_failed = false;
    QByteArray m_partial;
    QList<QByteArray> m_unread;
    QByteArray m_tag;

    int m_connections = 0;
    QString m_mismatch;
    QStringList m_clientLines;
    QList<QByteArray> m_clientBytes;
};
