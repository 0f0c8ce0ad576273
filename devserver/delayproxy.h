#pragma once

#include <QObject>
#include <QTcpServer>

// A loopback TCP relay that holds every chunk of bytes for half the round-trip time in each
// direction before passing it on, in order: a slow network for clients of a local server.
// It relays plain bytes, so TLS runs end to end and the name "localhost" still verifies.
// Single-threaded: it works inside whatever event loop the caller runs.
class DelayProxy : public QObject {
    Q_OBJECT
public:
    // Relays to 127.0.0.1:targetPort, adding rttMs (0 or more) to every round trip.
    DelayProxy(int targetPort, int rttMs, QObject *parent = nullptr);
    ~DelayProxy() override;

    // Listens on a free loopback port (IPv4 and, where there is one, IPv6). False when it cannot.
    bool listen();
    int port() const;

    int rttMs() const { return m_rttMs; }
    void setRttMs(int rttMs); // for bytes that arrive from now on
    int connectionCount() const { return m_connections; } // accepted so far

private:
    void accept(QTcpServer &server);

    QTcpServer m_v4;
    QTcpServer m_v6;
    int m_targetPort;
    int m_rttMs;
    int m_connections = 0;
};
