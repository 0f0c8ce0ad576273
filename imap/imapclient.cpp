#include "imap/imapclient.h"

#include "imap/connection.h"
#include "imap/fetchpipeline.h"
#include "imap/fetchresponse.h"
#include "imap/imapcommand.h"
#include "imap/listresponse.h"
#include "imap/mimereader.h"
#include "imap/mutf7.h"

#include <QDeadlineTimer>
#include <functional>
#include <utility>

namespace {

constexpr int HeartbeatMs = 50; // abortCheck comes at least this often while a call waits

const QString Interrupted = QStringLiteral("interrupted by another command on the same connection");
const QString NotConnected = QStringLiteral("Not connected.");

enum class Wait { Done, Aborted, TimedOut, Lost, Superseded, Malformed };

bool isOk(const std::shared_ptr<SentCommand> &answered)
{
    return answered && answered->completion->keyword == "OK";
}

} // namespace

// Every public call takes the next generation number. A call made while another one waits (from
// a handler of its events) supersedes it: the outer call gives up as soon as it wakes.
class ImapClient::Private {
public:
    explicit Private(ImapClient *owner) : q(owner) {}

    ImapClient *q;
    Endpoint endpoint;
    int timeoutMs = 30000;
    Connection connection;
    FetchPipeline pipeline;
    ListedNames listed;
    int generation = 0;
    QString lastError;

    Wait wait(int call, const std::function<bool()> &done, const std::function<void()> &onTick = {});
    // The answers of earlier commands, even abandoned ones, are read off before the next is sent.
    Wait waitUntilIdle(int call)
    {
        return connection.idle() ? Wait::Done : wait(call, [this] { return connection.idle(); });
    }
    QString waitFailure(Wait w);
    // The command with its tagged answer; nullptr when none came (see lastError).
    std::shared_ptr<SentCommand> run(int call, const ImapCommand &command, const UntaggedHandler &untagged = {});
    std::optional<Fetch> sendFetch(int call, int number, bool byUid);
    void close() { connection.close(); pipeline.end(); }
    std::nullptr_t fail(const QString &shown, const QString &reason)
    {
        lastError = LastErrorText(shown, reason);
        return nullptr;
    }
};

Wait ImapClient::Private::wait(int call, const std::function<bool()> &done, const std::function<void()> &onTick)
{
    const QDeadlineTimer deadline(timeoutMs);
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
        if (deadline.hasExpired())
            return Wait::TimedOut;
        if (onTick)
            onTick();
        bool abort = false;
        if (call == generation)
            Q_EMIT q->abortCheck(abort);
        if (call != generation)
            return Wait::Superseded;
        if (abort)
            return Wait::Aborted;
        connection.sleep(HeartbeatMs);
    }
}

// The reason for a failed wait. A connection that can no longer be trusted is closed; after an
// abort it stays, and the rest of the abandoned answer is read off by the next call.
QString ImapClient::Private::waitFailure(Wait w)
{
    QString reason;
    switch (w) {
    case Wait::Done:
        return {};
    case Wait::Superseded:
        return Interrupted;
    case Wait::Aborted:
        return QStringLiteral("aborted");
    case Wait::TimedOut:
        reason = QStringLiteral("No complete answer within %1 ms; connection closed.").arg(timeoutMs);
        break;
    case Wait::Malformed:
        reason = connection.protocolError() + QStringLiteral("; connection closed.");
        break;
    case Wait::Lost:
        reason = connection.lostReason();
        break;
    }
    close();
    return reason;
}

std::shared_ptr<SentCommand> ImapClient::Private::run(int call, const ImapCommand &command,
                                                      const UntaggedHandler &untagged)
{
    pipeline.end();
    const std::shared_ptr<SentCommand> mine = connection.prepare(call, command);
    if (!connection.isReady())
        return fail(mine->shown, NotConnected);
    Wait w = waitUntilIdle(call);
    if (w == Wait::Done) {
        mine->untagged = untagged;
        connection.send(mine);
        w = wait(call, [&] { return mine->completion.has_value(); });
        mine->untagged = nullptr; // it refers to the caller's frame, which is about to end
    }
    if (w != Wait::Done)
        return fail(mine->shown, waitFailure(w));
    lastError = LastErrorText(mine->shown, QString::fromUtf8(mine->completion->raw()));
    return mine;
}

// nullopt when there is no connection to send on.
std::optional<Fetch> ImapClient::Private::sendFetch(int call, int number, bool byUid)
{
    Fetch fetch{number, connection.prepare(call, FetchMessageCommand(number, byUid)),
                std::make_shared<FetchedMessage>()};
    if (!connection.isReady())
        return std::nullopt;
    fetch.command->fetchNumber = byUid ? 0 : number;
    fetch.command->untagged = [number, byUid, message = fetch.message](const ImapResponse &r) {
        return ReadFetchResponse(r, number, byUid, *message);
    };
    connection.send(fetch.command);
    return fetch;
}

ImapClient::ImapClient(QObject *parent) : QObject(parent), d(std::make_unique<Private>(this))
{
    setReadAhead(DefaultReadAheadCount, DefaultReadAheadBytes);
}

ImapClient::~ImapClient() = default;

void ImapClient::setSsl(bool on)
{
    d->endpoint.ssl = on;
}

void ImapClient::setPort(int port)
{
    d->endpoint.port = port;
}

void ImapClient::setExtraCaCertificates(const QList<QSslCertificate> &certificates)
{
    d->endpoint.extraCas = certificates;
}

void ImapClient::setTimeoutMs(int ms)
{
    d->timeoutMs = qMax(1, ms);
}

void ImapClient::setReadAhead(int commands, qint64 bytes)
{
    d->pipeline.setBounds(commands, bytes);
    // Fetches sent ahead are counted at the run's average size, which the next messages may far
    // exceed. The socket stops taking bytes beyond the bound until they are read, and answers are
    // only read while a call waits for its own, so the server holds back the rest.
    d->connection.setReadBufferBytes(qMax<qint64>(0, bytes));
}

int ImapClient::connect(const QString &host)
{
    const int call = ++d->generation;
    d->pipeline.end();
    d->endpoint.host = host;
    const QString shown = d->endpoint.shown();
    auto fail = [&](const QString &reason) {
        d->lastError = LastErrorText(shown, reason);
        return 0;
    };
    if (const QString refused = d->connection.open(d->endpoint); !refused.isEmpty())
        return fail(refused);
    const Wait w = d->wait(call, [this] { return d->connection.handshakeDone(); });
    if (w == Wait::Superseded)
        return fail(Interrupted);
    const QString reason = w == Wait::Done ? d->connection.acceptGreeting()
        : w == Wait::Lost                  ? d->connection.connectFailure()
                                           : d->waitFailure(w);
    if (!reason.isEmpty()) {
        d->close();
        return fail(reason);
    }
    d->lastError = LastErrorText(shown, QString::fromUtf8(d->connection.greeting()->raw()));
    return 1;
}

QString ImapClient::sendRawCommand(const QString &command)
{
    const int call = ++d->generation;
    if (command.trimmed().isEmpty() || command.contains(u'\r') || command.contains(u'\n')) {
        d->lastError = QStringLiteral("Raw command refused: it must be one non-empty line.");
        return {};
    }
    QStringList lines;
    const auto answered = d->run(call, ImapCommand(command.toUtf8()), [&](const ImapResponse &r) {
        lines.append(QString::fromUtf8(r.raw()));
        return true;
    });
    if (!answered)
        return {};
    lines.append(QString::fromUtf8(answered->completion->raw()));
    return lines.join(QStringLiteral("\r\n"));
}

int ImapClient::login(const QString &user, const QString &password)
{
    const int call = ++d->generation;
    const ImapCommand command = ImapCommand("LOGIN").string(user.toUtf8()).string(password.toUtf8(), true);
    return isOk(d->run(call, command)) ? 1 : 0;
}

std::unique_ptr<MailboxList> ImapClient::listMailboxes(const QString &reference, const QString &pattern)
{
    const int call = ++d->generation;
    QList<QByteArray> names;
    const ImapCommand command =
        ImapCommand("LIST").string(EncodeMailboxName(reference)).string(EncodeMailboxName(pattern));
    if (!isOk(d->run(call, command, [&](const ImapResponse &r) { return ReadListResponse(r, names); })))
        return nullptr;
    d->listed = ListedNames(names);
    return std::make_unique<MailboxList>(d->listed.shown());
}

int ImapClient::selectMailbox(const QString &name)
{
    const int call = ++d->generation;
    d->connection.forgetMailbox();
    const bool selected = isOk(d->run(call, ImapCommand("SELECT").string(d->listed.toSend(name))));
    if (call != d->generation)
        return 0;
    if (!selected)
        d->connection.forgetMailbox(); // a failed SELECT leaves no mailbox selected
    return selected ? 1 : 0;
}

int ImapClient::messageCount() const
{
    return d->connection.exists();
}

void ImapClient::expectSequentialFetches(int first, int last)
{
    d->pipeline.start(first, last);
}

std::unique_ptr<Email> ImapClient::fetchSingle(int number, bool byUid)
{
    const int call = ++d->generation;
    if (number < 1) {
        d->lastError = QStringLiteral("No message number %1: numbers start at 1.").arg(number);
        return nullptr;
    }
    const QString unsent = QStringLiteral("FETCH %1").arg(number);
    std::optional<Fetch> fetch;
    if (!byUid && d->pipeline.isNext(number)) {
        // The next message is on its way while this one is handed over.
        fetch = d->pipeline.advance(d->connection.exists(), [&](int n) { return d->sendFetch(call, n, false); });
    } else {
        d->pipeline.end();
        if (const Wait w = d->waitUntilIdle(call); w != Wait::Done)
            return d->fail(unsent, d->waitFailure(w));
        fetch = d->sendFetch(call, number, byUid);
    }
    if (!fetch)
        return d->fail(unsent, NotConnected);

    int lastPercent = -1;
    auto report = [&](int percent) {
        if (std::exchange(lastPercent, percent) != percent)
            Q_EMIT percentDone(percent);
    };
    auto onTick = [&] { report(FetchPercent(d->connection.reader(), number, byUid).value_or(qMax(lastPercent, 0))); };
    const std::shared_ptr<SentCommand> command = fetch->command;
    const Wait w = d->wait(call, [&] { return command->completion.has_value(); }, onTick);
    if (w != Wait::Done) {
        command->untagged = nullptr;
        if (w == Wait::Aborted)
            d->pipeline.end(); // nothing read ahead is handed over after a Stop
        return d->fail(command->shown, d->waitFailure(w));
    }
    d->lastError = LastErrorText(command->shown, QString::fromUtf8(command->completion->raw()));
    const std::optional<QByteArray> &body = fetch->message->body;
    if (command->completion->keyword != "OK")
        return nullptr;
    if (!body) {
        d->lastError += QStringLiteral("\r\nThe server sent no message for number %1.").arg(number);
        return nullptr;
    }
    d->pipeline.delivered(body->size());
    report(100);
    if (call != d->generation) {
        d->lastError = Interrupted;
        return nullptr;
    }
    return std::make_unique<Email>(ReadEmail(*body, fetch->message->internalDate));
}

QString ImapClient::lastErrorText() const
{
    return d->lastError;
}

int ImapClient::disconnect()
{
    ++d->generation;
    const bool was = d->connection.hasSocket();
    d->close();
    d->lastError = was ? QStringLiteral("Disconnected.") : QStringLiteral("Disconnect: not connected.");
    return 1;
}

bool ImapClient::isConnected() const
{
    return d->connection.isReady();
}
