#include "devserver/loopbacklisten.h"

#include <QTcpServer>

static bool hasIpv6Loopback()
{
    static const bool has = [] {
        QTcpServer probe;
        return probe.listen(QHostAddress::LocalHostIPv6, 0);
    }();
    return has;
}

int ListenOnLoopback(QTcpServer &v4, QTcpServer &v6)
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        if (!v4.listen(QHostAddress::LocalHost, 0))
            return 0;
        const int port = v4.serverPort();
        if (!hasIpv6Loopback() || v6.listen(QHostAddress::LocalHostIPv6, quint16(port)))
            return port;
        v4.close();
    }
    return 0;
}
