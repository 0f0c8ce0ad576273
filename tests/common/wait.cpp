#include "tests/common/wait.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

bool WaitUntil(const std::function<bool()> &condition, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() >= timeoutMs)
            return condition();
        // A short nap inside an event loop: timers, sockets and deferred deletes all run.
        QEventLoop nap;
        QTimer::singleShot(5, &nap, &QEventLoop::quit);
        nap.exec();
    }
    return true;
}
