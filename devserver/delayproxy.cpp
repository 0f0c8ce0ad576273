#include "devserver/delayproxy.h"

#include "devserver/loopbacklisten.h"

#include <QTcpSocket>
#include <QTimer>
#include <chrono>
#include <deque>
#include <functional>

namespace {

using Clock = std::chrono::steady_clock;

// One direction of a relayed connection: what the source sent, each chunk held until its time.
class Lane {
public:
    Lane(QTcpSocket *source, QTcpSocket *destination, const DelayProxy &proxy, std::function<void()> delivered)
        : m_source(source), m_destination(destination), m_proxy(proxy), m_delivered(std::move(delivered))
    {
        m_timer.setSingleShot(true);
        m_timer.setTimerType(Qt::PreciseTimer);
        QObject::connect(&m_timer, &QTimer::timeout, &m_timer, [this] { deliver(); });
    }

    void take()
    {
        if (m_source->bytesAvailable() > 0)
            hold(Chunk{dueTime(), m_source->readAll(), false});
    }

    // The source has gone: the close reaches the other side after the same delay as its data.
    void takeClose()
    {
        take();
        if (!m_closeQueued && m_destination->state() != QAbstractSocket::UnconnectedState) {
            m_closeQueued = true;
            hold(Chunk{dueTime(), {}, true});
        }
    }

    // Starts delivering once the destination is connected.
    void schedule()
    {
        if (m_timer.isActive() || m_chunks.empty() || m_destination->state() != QAbstractSocket::ConnectedState)
            return;
        const auto wait = std::chrono::ceil<std::chrono::milliseconds>(m_chunks.front().due - Clock::now());
        m_timer.start(std::max<qint64>(0, wait.count()));
    }

    bool idle() const { return m_chunks.empty(); }

private:
    struct Chunk {
        Clock::time_point due;
        QByteArray bytes;
        bool close;
    };

    // Never before a chunk held earlier, so a smaller delay set meanwhile cannot reorder bytes.
    Clock::time_point dueTime() const
    {
        const Clock::time_point due = Clock::now() + std::chrono::microseconds(m_proxy.rttMs() * 500);
        return m_chunks.empty() ? due : std::max(due, m_chunks.back().due);
    }

    void hold(Chunk chunk)
    {
        m_chunks.push_back(std::move(chunk));
        schedule();
    }

    void deliver()
    {
        const Clock::time_point now = Clock::now();
        while (!m_chunks.empty() && m_chunks.front().due <= now) {
            Chunk chunk = std::move(m_chunks.front());
            m_chunks.pop_front();
            if (m_destination->state() != QAbstractSocket::ConnectedState)
                continue; // the other side has gone already: nothing left to tell it
            if (chunk.close)
                m_destination->disconnectFromHost(); // after the bytes still being written
            else
                m_destination->write(chunk.bytes);
        }
        schedule();
        m_delivered();
    }

    QTcpSocket *m_source;
    QTcpSocket *m_destination;
    const DelayProxy &m_proxy;
    std::function<void()> m_delivered;
    std::deque<Chunk> m_chunks;
    QTimer m_timer;
    bool m_closeQueued = false;
};

// One accepted connection and its own connection to the target.
class Relay : public QObject {
public:
    Relay(QTcpSocket *client, int targetPort, DelayProxy &proxy)
        : QObject(&proxy), m_client(client), m_upstream(new QTcpSocket(this)), m_toServer(client, m_upstream, proxy, [this] { finishWhenDone(); }),
          m_toClient(m_upstream, client, proxy, [this] { finishWhenDone(); })
    {
        m_client->setParent(this);
        m_client->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        wire(m_client, m_toServer);
        wire(m_upstream, m_toClient);
        connect(m_upstream, &QTcpSocket::connected, this, [this] {
            m_upstreamOpened = true;
            m_upstream->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            m_toServer.schedule();
        });
        connect(m_upstream, &QTcpSocket::errorOccurred, this, [this] {
            // Refused or unreachable: the client learns it the way it would without us.
            if (!m_upstreamOpened) {
                m_client->abort();
                deleteLater();
            }
        });
        m_upstream->connectToHost(QHostAddress::LocalHost, quint16(targetPort));
        m_toServer.take(); // whatever came before we were listening to the socket
    }

private:
    void wire(QTcpSocket *source, Lane &outgoing)
    {
        connect(source, &QTcpSocket::readyRead, this, [&outgoing] { outgoing.take(); });
        connect(source, &QTcpSocket::disconnected, this, [this, &outgoing] {
            outgoing.takeClose();
            finishWhenDone();
        });
    }

    void finishWhenDone()
    {
        if (m_client->state() == QAbstractSocket::UnconnectedState
            && m_upstream->state() == QAbstractSocket::UnconnectedState && m_toServer.idle() && m_toClient.idle())
            deleteLater();
    }

    QTcpSocket *m_client;
    QTcpSocket *m_upstream;
    Lane m_toServer;
    Lane m_toClient;
    bool m_upstreamOpened = false;
};

} // namespace

DelayProxy::DelayProxy(int targetPort, int rttMs, QObject *parent)
    : QObject(parent), m_targetPort(targetPort), m_rttMs(std::max(0, rttMs))
{
    connect(&m_v4, &QTcpServer::newConnection, this, [this] { accept(m_v4); });
    connect(&m_v6, &QTcpServer::newConnection, this, [this] { accept(m_v6); });
}

DelayProxy::~DelayProxy() = default;

bool DelayProxy::listen()
{
    return ListenOnLoopback(m_v4, m_v6) != 0;
}

int DelayProxy::port() const
{
    return m_v4.isListening() ? m_v4.serverPort() : 0;
}

void DelayProxy::setRttMs(int rttMs)
{
    m_rttMs = std::max(0, rttMs);
}

void DelayProxy::accept(QTcpServer &server)
{
    while (QTcpSocket *client = server.nextPendingConnection()) {
        ++m_connections;
        new Relay(client, m_targetPort, *this);
    }
}
