#include "devserver/delayproxy.h"

#include <QCoreApplication>
#include <cstdio>

// delayproxy TARGET_PORT RTT_MS: relays loopback connections to TARGET_PORT with RTT_MS added
// to every round trip, until stopped. Prints the port it listens on.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    bool portOk = false;
    bool rttOk = false;
    const int target = args.value(1).toInt(&portOk);
    const int rtt = args.value(2).toInt(&rttOk);
    if (args.size() != 3 || !portOk || !rttOk || target < 1 || target > 65535 || rtt < 0) {
        std::fprintf(stderr, "usage: delayproxy TARGET_PORT RTT_MS\n");
        return 2;
    }
    DelayProxy proxy(target, rtt);
    if (!proxy.listen()) {
        std::fprintf(stderr, "delayproxy: no free loopback port\n");
        return 1;
    }
    std::printf("%d\n", proxy.port());
    std::fflush(stdout);
    return app.exec();
}
