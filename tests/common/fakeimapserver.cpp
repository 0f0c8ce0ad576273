#include "tests/common/fakeimapserver.h"

#include "devserver/loopbacklisten.h"
#include "devserver/testcertificates.h"

#include <QFile>
#include <QScopedValueRollback>
#include <QSslCertificate>
#include <QSslConfiguration>
#include <QSslKey>
#include <QSslSocket>
#include <QTimer>
#include <stdexcept>
#include <sys/socket.h>

namespace {

QByteArray unescape(const QByteArray &text, int lineNumber)
{
    QByteArray out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out.append(text[i]);
            continue;
        }
        const char c = text[++i];
        if (c == 'r')
            out.append('\r');
        else if (c == 'n')
            out.append('\n');
        else if (c == 't')
            out.append('\t');
        else if (c == '\\')
            out.append('\\');
        else if (c == 'x' && i + 2 < text.size()) {
            bool ok = false;
            const int byte = text.mid(i + 1, 2).toInt(&ok, 16);
            if (!ok)
                throw std::invalid_argument("fake IMAP script line " + std::to_string(lineNumber) + ": bad \\x escape");
            out.append(char(byte));
            i += 2;
        } else {
            throw std::invalid_argument("fake IMAP script line " + std::to_string(lineNumber) + ": unknown escape");
        }
    }
    return out;
}

// "*" matches any run of characters; everything else matches itself, ignoring letter case.
bool wildcardMatch(const QByteArray &pattern, const QByteArray &text)
{
    qsizetype p = 0, t = 0, star = -1, resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = t;
        } else if (p < pattern.size() && QChar::toLower(uchar(pattern[p])) == QChar::toLower(uchar(text[t]))) {
            ++p;
            ++t;
        } else if (star >= 0) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

// Copies of REPEAT's text written at once, and the most left unsent before the next write.
constexpr qint64 RepeatPieceBytes = 64 << 10;
constexpr qint64 RepeatWindowBytes = 1 << 20;

qint64 parseCount(const QByteArray &word, int lineNumber)
{
    if (word == "*")
        return -1;
    bool ok = false;
    const qint64 count = word.toLongLong(&ok);
    if (!ok || count < 0)
        throw std::invalid_argument("fake IMAP script line " + std::to_string(lineNumber) + ": bad REPEAT count");
    return count;
}

int parseMs(const QByteArray &word, int lineNumber)
{
    bool ok = false;
    const int ms = word.toInt(&ok);
    if (!ok || ms < 0)
        throw std::invalid_argument("fake IMAP script line " + std::to_string(lineNumber) + ": bad milliseconds");
    return ms;
}

} // namespace

FakeImapServer::FakeImapServer(const QString &script, Transport transport)
    : FakeImapServer(QStringList{script}, transport)
{
}

void FakeImapServer::setCertificate(const QString &certFile)
{
    QFile cert(certFile);
    const QSslCertificate certificate(cert.open(QIODevice::ReadOnly) ? cert.readAll() : QByteArray(), QSsl::Pem);
    if (certificate.isNull() || m_tls.privateKey().isNull())
        throw std::runtime_error("the fake IMAP server cannot load the certificate " + certFile.toStdString());
    m_tls.setLocalCertificate(certificate);
}

FakeImapServer::FakeImapServer(const QStringList &scripts, Transport transport)
    : m_transport(transport)
{
    if (scripts.isEmpty())
        throw std::invalid_argument("a fake IMAP server needs a script");
    for (const QString &script : scripts)
        m_scripts.append(parse(script));
    if (transport == Transport::Tls) {
        QFile key(TestCertificates::instance().serverKeyFile());
        if (!key.open(QIODevice::ReadOnly))
            throw std::runtime_error("the fake IMAP server cannot read the test key");
        m_tls = QSslConfiguration::defaultConfiguration();
        m_tls.setPrivateKey(QSslKey(key.readAll(), QSsl::Ec, QSsl::Pem));
        m_tls.setProtocol(QSsl::TlsV1_2OrLater);
        m_tls.setPeerVerifyMode(QSslSocket::VerifyNone);
        setCertificate(TestCertificates::instance().serverCertFile());
    }
    m_port = ListenOnLoopback(m_v4, m_v6);
    if (m_port == 0)
        throw std::runtime_error("the fake IMAP server found no free port");
    for (SslTcpServer *listener : {&m_v4, &m_v6})
        connect(listener, &QTcpServer::newConnection, this, [this, listener] { accept(*listener); });
}

FakeImapServer::~FakeImapServer()
{
    // The sockets die with the listeners, after this object stopped being a FakeImapServer.
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
    }
}

QList<FakeImapServer::Step> FakeImapServer::parse(const QString &script)
{
    QList<Step> steps;
    int lineNumber = 0;
    for (const QString &raw : script.split(QLatin1Char('\n'))) {
        ++lineNumber;
        QByteArray line = raw.toUtf8();
        if (line.endsWith('\r'))
            line.chop(1);
        while (!line.isEmpty() && (line[0] == ' ' || line[0] == '\t'))
            line.remove(0, 1);
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const auto after = [&](qsizetype prefix) {
            QByteArray rest = line.mid(prefix);
            return rest.startsWith(' ') ? rest.mid(1) : rest;
        };
        const QByteArray word = line.left(line.indexOf(' ')); // the whole line when no blank
        if (line.startsWith("S:")) {
            steps.append(Step{Step::Send, after(2)});
        } else if (line.startsWith("C:")) {
            steps.append(Step{Step::Expect, after(2)});
        } else if (word == "SLEEP") {
            steps.append(Step{Step::Sleep, {}, parseMs(after(5).trimmed(), lineNumber)});
        } else if (word == "DRIP") {
            const QByteArray rest = after(4);
            const qsizetype blank = rest.indexOf(' ');
            if (blank < 0)
                throw std::invalid_argument("fake IMAP script line " + std::to_string(lineNumber) + ": DRIP ms text");
            steps.append(Step{Step::Drip, unescape(rest.mid(blank + 1), lineNumber), parseMs(rest.left(blank), lineNumber)});
        } else if (word == "RAW") {
            steps.append(Step{Step::Raw, unescape(after(3), lineNumber)});
        } else if (word == "REPEAT") {
            const QByteArray rest = after(6);
            const qsizetype blank = rest.indexOf(' ');
            const QByteArray text = blank < 0 ? QByteArray() : unescape(rest.mid(blank + 1), lineNumber);
            if (text.isEmpty())
                throw std::invalid_argument("fake IMAP script line " + std::to_string(lineNumber) + ": REPEAT n text");
            steps.append(Step{Step::Repeat, text, 0, parseCount(rest.left(blank), lineNumber)});
        } else if (line == "CLOSE") {
            steps.append(Step{Step::Close, {}});
        } else if (line == "RESET") {
            steps.append(Step{Step::Reset, {}});
        } else if (line == "STALL") {
            steps.append(Step{Step::Stall, {}});
        } else {
            throw std::invalid_argument("fake IMAP script line " + std::to_string(lineNumber)
                                        + ": unknown instruction: " + line.toStdString());
        }
    }
    return steps;
}

bool FakeImapServer::scriptDone() const
{
    return m_connections > 0 && !m_failed && m_next >= m_steps.size();
}

void FakeImapServer::accept(SslTcpServer &listener)
{
    auto *socket = qobject_cast<QSslSocket *>(listener.nextPendingConnection());
    if (!socket)
        return;
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
        m_socket->deleteLater();
    }
    m_socket = socket;
    m_steps = m_scripts[qMin<qsizetype>(m_connections, m_scripts.size() - 1)];
    ++m_connections;
    m_next = 0;
    m_progress = 0;
    m_paused = m_stalled = m_failed = false;
    m_partial.clear();
    m_unread.clear();
    m_tag.clear();
    connect(socket, &QIODevice::readyRead, this, &FakeImapServer::readClient);
    connect(socket, &QAbstractSocket::disconnected, this, &FakeImapServer::dropped);
    if (m_transport == Transport::Plain) {
        begin();
        return;
    }
    socket->setSslConfiguration(m_tls);
    // The greeting waits for the handshake; a client that rejects the certificate just leaves.
    connect(socket, &QSslSocket::encrypted, this, &FakeImapServer::begin);
    socket->startServerEncryption();
}

void FakeImapServer::begin()
{
    // REPEAT and RESET go on as the connection takes what was written; the handshake's own
    // writes come before this and must not start the script.
    connect(m_socket, &QIODevice::bytesWritten, this, &FakeImapServer::run);
    connect(m_socket, &QSslSocket::encryptedBytesWritten, this, &FakeImapServer::run);
    run();
}

void FakeImapServer::readClient()
{
    m_partial += m_socket->readAll();
    qsizetype end;
    while ((end = m_partial.indexOf('\n')) >= 0) {
        QByteArray line = m_partial.left(end);
        m_partial.remove(0, end + 1);
        if (line.endsWith('\r'))
            line.chop(1);
        m_clientLines.append(QString::fromUtf8(line));
        m_clientBytes.append(line);
        m_unread.append(line);
    }
    run();
}

void FakeImapServer::dropped()
{
    m_socket->deleteLater();
    m_socket = nullptr;
}

void FakeImapServer::run()
{
    // Writing may report bytesWritten at once; the loop below is already on its way.
    if (m_running)
        return;
    const QScopedValueRollback running(m_running, true);
    while (m_socket && !m_paused && !m_stalled && !m_failed && m_next < m_steps.size()) {
        const Step &step = m_steps[m_next];
        switch (step.kind) {
        case Step::Send:
            m_socket->write(withTag(step.text) + "\r\n");
            ++m_next;
            break;
        case Step::Raw:
            m_socket->write(withTag(step.text));
            ++m_next;
            break;
        case Step::Expect:
            if (!expect(step))
                return;
            break;
        case Step::Sleep:
            ++m_next;
            pause(step.ms);
            return;
        case Step::Drip:
            if (m_progress == 0)
                m_stepText = withTag(step.text);
            if (m_progress < m_stepText.size()) {
                m_socket->write(m_stepText.mid(m_progress++, 1));
                if (m_progress < m_stepText.size()) {
                    pause(step.ms);
                    return;
                }
            }
            m_progress = 0;
            ++m_next;
            break;
        case Step::Repeat:
            if (!repeat(step))
                return;
            break;
        case Step::Close:
            ++m_next;
            m_socket->disconnectFromHost(); // may call dropped() at once
            return;
        case Step::Reset:
            reset();
            return;
        case Step::Stall:
            ++m_next;
            m_stalled = true;
            return;
        }
    }
}

// False while copies are still to go: bytesWritten calls run() again.
bool FakeImapServer::repeat(const Step &step)
{
    if (m_progress == 0)
        m_stepText = withTag(step.text);
    const qint64 perPiece = qMax<qint64>(1, RepeatPieceBytes / m_stepText.size());
    while (m_socket && (step.count < 0 || m_progress < step.count)) {
        if (unsentBytes() >= RepeatWindowBytes)
            return false;
        const qint64 copies = step.count < 0 ? perPiece : qMin(perPiece, step.count - m_progress);
        m_socket->write(m_stepText.repeated(copies));
        m_progress += copies;
    }
    m_progress = 0;
    ++m_next;
    return m_socket != nullptr;
}

// With TLS, bytesToWrite() counts only what is still to be encrypted.
qint64 FakeImapServer::unsentBytes() const
{
    return m_socket->bytesToWrite() + m_socket->encryptedBytesToWrite();
}

// A zero linger time makes closing the socket send RST instead of FIN.
void FakeImapServer::reset()
{
    if (unsentBytes() > 0)
        return; // bytesWritten calls run() again
    ++m_next;
    const linger abortive{1, 0};
    setsockopt(int(m_socket->socketDescriptor()), SOL_SOCKET, SO_LINGER, &abortive, sizeof abortive);
    QSslSocket *socket = m_socket;
    m_socket = nullptr;
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

bool FakeImapServer::expect(const Step &step)
{
    if (m_unread.isEmpty())
        return false; // readClient() goes on
    const QByteArray line = m_unread.takeFirst();
    if (!wildcardMatch(step.text, line)) {
        if (m_mismatch.isEmpty())
            m_mismatch = QStringLiteral("expected \"C: %1\", got \"%2\"").arg(QString::fromUtf8(step.text), QString::fromUtf8(line));
        m_failed = true;
        m_socket->write("* BYE Unexpected line\r\n");
        m_socket->disconnectFromHost();
        return false;
    }
    const qsizetype blank = line.indexOf(' ');
    m_tag = blank < 0 ? line : line.left(blank);
    ++m_next;
    return true;
}

void FakeImapServer::pause(int ms)
{
    m_paused = true;
    QTimer::singleShot(ms, m_socket, [this, socket = m_socket] {
        if (socket != m_socket)
            return;
        m_paused = false;
        run();
    });
}

QString FakeImapServer::escaped(const QByteArray &bytes)
{
    QString text;
    text.reserve(bytes.size());
    for (char c : bytes) {
        const auto byte = uchar(c);
        if (c == '\\')
            text += QStringLiteral("\\\\");
        else if (byte >= 0x20 && byte < 0x7f)
            text += QLatin1Char(c);
        else
            text += QStringLiteral("\\x%1").arg(byte, 2, 16, QLatin1Char('0'));
    }
    return text;
}

QByteArray FakeImapServer::withTag(const QByteArray &text) const
{
    QByteArray out = text;
    return out.replace("$TAG", m_tag);
}
