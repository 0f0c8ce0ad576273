#include "tests/common/ssltcpserver.h"

#include <QSslSocket>

void SslTcpServer::incomingConnection(qintptr socketDescriptor)
{
    auto *socket = new QSslSocket(this);
    if (socket->setSocketDescriptor(socketDescriptor))
        addPendingConnection(socket);
    else
        delete socket;
}
