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
//   CLOSE            close the connection (after what was sent so far)
//   STALL            do nothing more, keep the connection open
// In S:, DRIP and RAW, "$TAG" is the tag of the last matched client line; in DRIP and RAW
// the escapes \r \n \t \\ and \xHH stand for those bytes. After the last instruction the
// server behaves as after STALL. A script that does not parse throws std::invalid_argument.
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

    QString host() const { return QStringLiteral("localhost"); }
    int port() const { return m_port; }

    int connectionCount() const { return m_connections; }
    bool connected() const { return m_socket != nullptr; } // the current connection is open
    // The latest connection has run every instruction of its script without a mismatch.
    bool scriptDone() const;
    QString mismatch() const { return m_mismatch; } // the first mismatch, empty when none
    // Every line the clients sent, all connections, in order, without CRLF.
    QStringList clientLines() const { return m_clientLines; }

private:
    struct Step {
        enum Kind { Send, Expect, Sleep, Drip, Raw, Close, Stall } kind;
        QByteArray text;
        int ms = 0;
    };
    static QList<Step> parse(const QString &script);

    void accept(SslTcpServer &listener);
    void readClient();
    void dropped();
    void run();
    void pause(int ms);
    bool expect(const Step &step);
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
    qsizetype m_dripped = 0;
    QByteArray m_dripText;
    bool m_paused = false;
    bool m_stalled = false;
    bool m_failed = false;
    QByteArray m_partial;
    QList<QByteArray> m_unread;
    QByteArray m_tag;

    int m_connections = 0;
    QString m_mismatch;
    QStringList m_clientLines;
};
