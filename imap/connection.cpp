#include "imap/connection.h"

#include <QEventLoop>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTimer>
#include <algorithm>
#include <limits>
#include <utility>

namespace {

constexpr qint64 MinReadBufferBytes = qint64(1) << 20; // 0 would mean no bound at all

// The fault a user can act on, when the certificate has several: trust first, then dates, then name.
ImapFailure certificateFailure(const QList<QSslError> &errors)
{
    auto has = [&](std::initializer_list<QSslError::SslError> codes) {
        return std::any_of(errors.begin(), errors.end(), [&](const QSslError &e) {
            return std::find(codes.begin(), codes.end(), e.error()) != codes.end();
        });
    };
    if (has({QSslError::SelfSignedCertificate, QSslError::SelfSignedCertificateInChain,
             QSslError::UnableToGetLocalIssuerCertificate, QSslError::UnableToGetIssuerCertificate,
             QSslError::UnableToVerifyFirstCertificate, QSslError::CertificateUntrusted}))
        return ImapFailure::CertificateUntrusted;
    if (has({QSslError::CertificateExpired}))
        return ImapFailure::CertificateExpired;
    if (has({QSslError::HostNameMismatch}))
        return ImapFailure::CertificateWrongHost;
    return ImapFailure::CertificateInvalid;
}

ImapFailure socketFailure(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError:
        return ImapFailure::ConnectionRefused;
    case QAbstractSocket::HostNotFoundError:
        return ImapFailure::HostNotFound;
    case QAbstractSocket::SocketTimeoutError:
        return ImapFailure::TimedOut;
    case QAbstractSocket::SslHandshakeFailedError:
    case QAbstractSocket::SslInternalError:
    case QAbstractSocket::SslInvalidUserDataError:
        return ImapFailure::TlsHandshake;
    default:
        return ImapFailure::ConnectionLost;
    }
}

} // namespace

Connection::Connection(QObject *parent) : QObject(parent)
{
    connect(this, &Connection::activity, this, [this] { m_activitySinceSleep = true; });
}

Connection::~Connection()
{
    close();
}

QString Endpoint::shown() const
{
    return QStringLiteral("Connect to %1:%2 (%3)")
        .arg(host)
        .arg(port)
        .arg(ssl ? QStringLiteral("TLS") : QStringLiteral("plain TCP"));
}

QString Connection::open(const Endpoint &endpoint)
{
    close();
    if (endpoint.host.trimmed().isEmpty())
        return QStringLiteral("No host name given.");
    if (endpoint.port < 1 || endpoint.port > 65535)
        return QStringLiteral("Invalid port %1.").arg(endpoint.port);

    auto *socket = new QSslSocket(this);
    m_socket = socket;
    m_endpoint = endpoint;
    setReadBufferBytes(m_readBufferBytes);
    connect(socket, &QSslSocket::sslErrors, this, [this](const QList<QSslError> &errors) { m_sslErrors += errors; });
    connect(socket, &QIODevice::readyRead, this, &Connection::activity);
    connect(socket, &QIODevice::bytesWritten, this, &Connection::activity);
    connect(socket, &QAbstractSocket::disconnected, this, &Connection::activity);
    connect(socket, &QAbstractSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        // Qt keeps the socket connected after the server's TLS close_notify: nothing more comes.
        if (error == QAbstractSocket::RemoteHostClosedError)
            m_closedByPeer = true;
        Q_EMIT activity();
    });
    connect(socket, &QSslSocket::encrypted, this, &Connection::activity);
    const quint16 port = quint16(endpoint.port);
    if (!endpoint.ssl) {
        socket->connectToHost(endpoint.host, port);
        return {};
    }
    QSslConfiguration config = socket->sslConfiguration();
    if (!endpoint.extraCas.isEmpty()) {
        // Naming roots of our own turns off Qt's loading of the system's on demand, so name
        // those too; reading them all takes a while, so once a run of the program.
        static const QList<QSslCertificate> systemRoots = QSslConfiguration::systemCaCertificates();
        config.setCaCertificates(systemRoots + endpoint.extraCas);
    }
    config.setPeerVerifyMode(QSslSocket::VerifyPeer);
    socket->setSslConfiguration(config);
    socket->connectToHostEncrypted(endpoint.host, port);
    return {};
}

void Connection::close()
{
    if (m_socket) {
        QSslSocket *socket = m_socket;
        m_socket = nullptr;
        QObject::disconnect(socket, nullptr, nullptr, nullptr);
        socket->abort();
        // A caller may still be inside this socket's signal; QPointer tells it it's gone.
        socket->deleteLater();
    }
    m_reader.clear();
    m_inFlight.clear();
    m_greeting.reset();
    m_greeted = false;
    m_protocolError.clear();
    m_bye.clear();
    m_closedByPeer = false;
    m_sslErrors.clear();
    forgetMailbox();
}

void Connection::setReadBufferBytes(qint64 bytes)
{
    m_readBufferBytes = bytes;
    if (m_socket)
        m_socket->setReadBufferSize(qMax(bytes, MinReadBufferBytes));
}

bool Connection::handshakeDone() const
{
    if (!m_socket || (m_endpoint.ssl && !m_socket->isEncrypted()))
        return false;
    return m_socket->state() == QAbstractSocket::ConnectedState && m_greeting.has_value();
}

QString Connection::acceptGreeting()
{
    const QByteArray status = m_greeting->keyword;
    m_greeted = status == "OK" || status == "PREAUTH";
    if (m_greeted)
        return {};
    return QStringLiteral("The server refused the connection: ") + QString::fromUtf8(m_greeting->raw());
}

bool Connection::isReady() const
{
    return m_socket && m_greeted && m_socket->state() == QAbstractSocket::ConnectedState;
}

bool Connection::isLost() const
{
    // After BYE the server only closes the connection: no answer will come.
    return !m_bye.isEmpty() || m_closedByPeer || !m_socket || m_socket->state() == QAbstractSocket::UnconnectedState;
}

QString Connection::lostReason() const
{
    if (!m_bye.isEmpty())
        return QStringLiteral("The server closed the connection: ") + QString::fromUtf8(m_bye);
    if (!m_socket)
        return QStringLiteral("Not connected.");
    return QStringLiteral("Connection lost: ") + m_socket->errorString();
}

ConnectionFailure Connection::connectFailure() const
{
    if (!m_sslErrors.isEmpty()) {
        QStringList texts;
        for (const QSslError &e : m_sslErrors)
            texts.append(e.errorString());
        return {certificateFailure(m_sslErrors),
                QStringLiteral("Certificate verification failed: ") + texts.join(QStringLiteral("; "))};
    }
    if (!m_socket)
        return {ImapFailure::NotConnected, QStringLiteral("Not connected.")};
    return {socketFailure(m_socket->error()), QStringLiteral("Could not connect: ") + m_socket->errorString()};
}

void Connection::sleep(int ms)
{
    if (!std::exchange(m_activitySinceSleep, false)) {
        QEventLoop loop;
        QTimer::singleShot(ms, &loop, &QEventLoop::quit);
        connect(this, &Connection::activity, &loop, &QEventLoop::quit);
        loop.exec();
    }
    m_activitySinceSleep = false;
}

std::shared_ptr<SentCommand> Connection::prepare(int call, const ImapCommand &command)
{
    const QByteArray tag = 'A' + QByteArray::number(++m_tagCounter);
    auto prepared = std::make_shared<SentCommand>();
    prepared->tag = tag;
    prepared->shown = QString::fromUtf8(command.shown(tag));
    prepared->call = call;
    prepared->unsent = command.chunks(tag);
    return prepared;
}

void Connection::send(const std::shared_ptr<SentCommand> &command)
{
    m_inFlight.append(command);
    m_socket->write(command->unsent.takeFirst());
}

void Connection::pump(int call)
{
    if (!m_socket || !m_socket->isOpen())
        return;
    const QByteArray bytes = m_socket->readAll();
    m_bytesRead += bytes.size();
    if (!bytes.isEmpty())
        m_reader.feed(bytes);
    while (auto r = m_reader.next()) {
        handle(*r, call);
        // What follows a broken answer cannot be trusted; the connection is about to close.
        if (!m_socket || isBroken())
            return;
    }
    if (m_reader.failed() && !isBroken())
        m_protocolError = m_reader.errorText();
}

void Connection::handle(const ImapResponse &r, int call)
{
    if (r.isContinuation()) {
        for (const auto &command : std::as_const(m_inFlight)) {
            if (!command->unsent.isEmpty()) {
                m_socket->write(command->unsent.takeFirst());
                break;
            }
        }
        return;
    }
    if (r.isUntagged()) {
        if (!m_greeting) {
            m_greeting = r;
            return;
        }
        noteUntagged(r);
        if (handToFetches(r))
            return;
        // Only fetch handlers outlive their call's frame, so other handlers run only for the current call.
        for (const auto &command : std::as_const(m_inFlight)) {
            if (command->untagged && command->call == call) {
                if (!command->untagged(r) && !isBroken())
                    m_protocolError = QStringLiteral("Malformed response: ") + QString::fromUtf8(r.lines.first().left(200));
                return;
            }
        }
        return;
    }
    const QByteArray tag = r.tag();
    for (qsizetype i = 0; i < m_inFlight.size(); ++i) {
        if (m_inFlight[i]->tag == tag) {
            m_inFlight[i]->completion = r;
            m_inFlight.removeAt(i);
            return;
        }
    }
    if (!isBroken())
        m_protocolError =
            QStringLiteral("Unexpected line from the server: ") + QString::fromUtf8(r.lines.first().left(200));
}

// A FETCH answer goes to every fetch that asked about its number: the outline and the message
// of one number may both be under way. False when none did.
bool Connection::handToFetches(const ImapResponse &r)
{
    if (r.keyword != "FETCH" || r.number < 1)
        return false;
    bool taken = false;
    for (const auto &command : std::as_const(m_inFlight)) {
        if (!command->untagged || r.number < command->fetchFirst || r.number > command->fetchLast)
            continue;
        taken = true;
        if (!command->untagged(r)) {
            m_protocolError = QStringLiteral("Malformed response: ") + QString::fromUtf8(r.lines.first().left(200));
            break;
        }
    }
    return taken;
}

void Connection::noteUntagged(const ImapResponse &r)
{
    const bool counted = r.number >= 0 && r.number <= std::numeric_limits<int>::max();
    if (counted && r.keyword == "EXISTS")
        m_exists = int(r.number);
    else if (counted && r.keyword == "EXPUNGE")
        m_exists = qMax(0, m_exists - 1);
    else if (r.number < 0 && r.keyword == "BYE")
        m_bye = r.lines.first();
    else if (r.number < 0 && r.keyword == "OK" && r.word(2).toUpper() == "[UIDVALIDITY")
        m_uidValidity = ImapNumber(r.word(3).chopped(r.word(3).endsWith(']') ? 1 : 0));
}
