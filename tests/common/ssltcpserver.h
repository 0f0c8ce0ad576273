#pragma once

#include <QTcpServer>

// A QTcpServer whose pending connections are QSslSocket objects (not yet encrypted), so the
// owner can start server-side TLS on them or keep them plain. Qt 6.4 has no QSslServer.
class SslTcpServer : public QTcpServer {
    Q_OBJECT
public:
    using QTcpServer::QTcpServer;

protected:
    void incomingConnection(qintptr socketDescriptor) override;
};
