#include "imap/imapclient_p.h"

#include <QDeadlineTimer>

// How a call of the client waits: for an answer, or for a pause to pass, raising the abort poll.

namespace {

constexpr int HeartbeatMs = 50; // abortCheck comes at least this often while a call waits

} // namespace

// A limit on silence, not on the whole answer: a large message that keeps arriving is never cut.
Wait ImapClient::Private::wait(int call, const std::function<bool()> &done, const std::function<void()> &onTick)
{
    QDeadlineTimer silence(timeoutMs);
    qint64 bytesSeen = connection.bytesRead();
    while (true) {
        if (call != generation)
            return Wait::Superseded;
        // Once the answer is in, nothing more is read: what follows waits in the socket's bounded
        // buffer, and beyond it at the server, until a call needs it.
        if (!done())
            connection.pump(call);
        // Reading stops at a broken answer, so what is done arrived before it.
        if (done())
            return Wait::Done;
        if (connection.isBroken())
            return Wait::Malformed;
        if (connection.isLost())
            return Wait::Lost;
        if (const qint64 read = connection.bytesRead(); read != bytesSeen) {
            bytesSeen = read;
            silence.setRemainingTime(timeoutMs);
        } else if (silence.hasExpired()) {
            return Wait::TimedOut;
        }
        if (onTick)
            onTick();
        if (const Wait w = poll(call); w != Wait::Done)
            return w;
        connection.sleep(HeartbeatMs);
    }
}

Wait ImapClient::Private::poll(int call)
{
    bool abort = false;
    if (call == generation)
        Q_EMIT q->abortCheck(abort);
    if (call != generation)
        return Wait::Superseded;
    return abort ? Wait::Aborted : Wait::Done;
}

// A reason for a failed wait, and its kind. A connection that can no longer be trusted is closed;
// after an abort it stays, and the rest of the abandoned answer is read off by the next call.
QString ImapClient::Private::waitFailure(Wait w)
{
    QString reason;
    switch (w) {
    case Wait::Done:
        return {};
    case Wait::Superseded:
        failure = ImapFailure::Aborted;
        return Interrupted;
    case Wait::Aborted:
        failure = ImapFailure::Aborted;
        return QStringLiteral("aborted");
    case Wait::TimedOut:
        failure = ImapFailure::TimedOut;
        reason = QStringLiteral("No byte from the server for %1 ms; connection closed.").arg(timeoutMs);
        break;
    case Wait::Malformed:
        failure = ImapFailure::ProtocolError;
        reason = connection.protocolError() + QStringLiteral("; connection closed.");
        break;
    case Wait::Lost:
        failure = ImapFailure::ConnectionLost;
        reason = connection.lostReason();
        break;
    }
    close();
    return reason;
}

Wait ImapClient::Private::pause(int call, int ms)
{
    const QDeadlineTimer until(ms);
    while (!until.hasExpired()) {
        if (const Wait w = poll(call); w != Wait::Done)
            return w;
        connection.sleep(int(qMin<qint64>(HeartbeatMs, until.remainingTime())));
    }
    return Wait::Done;
}
