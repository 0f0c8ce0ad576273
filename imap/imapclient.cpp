#include "imap/imapclient.h"

#include "imap/imapclient_p.h"
#include "imap/imapcommand.h"
#include "imap/mutf7.h"

#include <utility>

namespace {

bool isOk(const std::shared_ptr<SentCommand> &answered)
{
    return answered && answered->completion->keyword == "OK";
}

} // namespace

QString ImapClient::Private::open(int call)
{
    if (const QString refused = connection.open(endpoint); !refused.isEmpty()) {
        failure = ImapFailure::Other;
        return refused;
    }
    const Wait w = wait(call, [this] { return connection.handshakeDone(); });
    if (w == Wait::Superseded) {
        failure = ImapFailure::Aborted;
        return Interrupted; // the connection is the superseding call's now
    }
    QString reason;
    if (w == Wait::Lost) {
        const ConnectionFailure lost = connection.connectFailure();
        failure = lost.kind;
        reason = lost.text;
    } else if (w != Wait::Done) {
        reason = waitFailure(w);
    } else if (reason = connection.acceptGreeting(); !reason.isEmpty()) {
        failure = ImapFailure::ConnectionRefused;
    }
    if (!reason.isEmpty())
        close();
    return reason;
}

std::shared_ptr<SentCommand> ImapClient::Private::run(int call, const ImapCommand &command,
                                                      const UntaggedHandler &untagged)
{
    pipeline.end();
    const std::shared_ptr<SentCommand> mine = connection.prepare(call, command);
    if (!connection.isReady()) {
        failure = ImapFailure::NotConnected;
        return fail(mine->shown, NotConnected);
    }
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
    failure = isOk(mine) ? ImapFailure::None : ImapFailure::Refused;
    return mine;
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

void ImapClient::setReconnectPauseMs(int ms)
{
    d->reconnectPauseMs = qMax(0, ms);
}

void ImapClient::setReadAhead(int commands, qint64 bytes)
{
    d->pipeline.setBounds(commands, bytes);
    // Fetches sent ahead are counted at the sizes their outlines give. The socket stops taking bytes
    // beyond the bound until they are read, and answers are only read while a call waits for its
    // own, so the server holds back the rest.
    d->connection.setReadBufferBytes(qMax<qint64>(0, bytes));
}

int ImapClient::connect(const QString &host)
{
    const int call = ++d->generation;
    d->pipeline.end();
    d->record = {};
    d->endpoint.host = host;
    if (const QString reason = d->open(call); !reason.isEmpty()) {
        d->lastError = LastErrorText(d->endpoint.shown(), reason);
        return 0;
    }
    d->lastError = LastErrorText(d->endpoint.shown(), QString::fromUtf8(d->connection.greeting()->raw()));
    d->failure = ImapFailure::None;
    return 1;
}

QString ImapClient::sendRawCommand(const QString &command)
{
    const int call = ++d->generation;
    if (command.trimmed().isEmpty() || command.contains(u'\r') || command.contains(u'\n')) {
        d->lastError = QStringLiteral("Raw command refused: it must be one non-empty line.");
        d->failure = ImapFailure::Other;
        return {};
    }
    QStringList lines;
    const ImapCommand raw(command.toUtf8());
    const auto answered = d->run(call, raw, [&](const ImapResponse &r) {
        lines.append(QString::fromUtf8(r.raw()));
        return true;
    });
    if (!answered)
        return {};
    if (!d->record.signedIn)
        d->record.steps.append({raw, false});
    lines.append(QString::fromUtf8(answered->completion->raw()));
    return lines.join(QStringLiteral("\r\n"));
}

int ImapClient::login(const QString &user, const QString &password)
{
    const int call = ++d->generation;
    d->password = password; // a server may echo it back
    const ImapCommand command = ImapCommand("LOGIN").string(user.toUtf8()).string(password.toUtf8(), true);
    if (!isOk(d->run(call, command)))
        return 0;
    d->record.steps.append({command, true});
    d->record.signedIn = true;
    return 1;
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
    d->record.select.reset();
    const ImapCommand command = ImapCommand("SELECT").string(d->listed.toSend(name));
    const bool selected = isOk(d->run(call, command));
    if (call != d->generation)
        return 0;
    if (!selected) {
        d->connection.forgetMailbox(); // a failed SELECT leaves no mailbox selected
        return 0;
    }
    d->record.select = command;
    d->record.uidValidity = d->connection.uidValidity();
    return 1;
}

int ImapClient::messageCount() const
{
    return d->connection.exists();
}

void ImapClient::expectSequentialFetches(int first, int last)
{
    d->pipeline.start(first, last);
    d->triesInARow = 0;
}

bool ImapClient::inSequentialRun() const
{
    return d->pipeline.inRun();
}

std::unique_ptr<Email> ImapClient::fetchSingle(int number, bool byUid)
{
    const int call = ++d->generation;
    if (number < 1) {
        d->lastError = QStringLiteral("No message number %1: numbers start at 1.").arg(number);
        d->failure = ImapFailure::Other;
        return nullptr;
    }
    const qint64 runLast = !byUid && d->pipeline.isNext(number) ? d->pipeline.last() : 0;
    FetchOutcome outcome = d->fetch(call, number, byUid);
    if (outcome.lost && runLast > 0)
        outcome = d->resumeRun(call, number, runLast);
    if (!outcome.email)
        return nullptr;
    d->triesInARow = 0;
    if (call != d->generation) {
        d->lastError = Interrupted;
        d->failure = ImapFailure::Aborted;
        return nullptr;
    }
    return std::move(outcome.email);
}

QString ImapClient::lastErrorText() const
{
    if (d->password.isEmpty())
        return d->lastError;
    return QString(d->lastError).replace(d->password, QStringLiteral("<hidden>"));
}

ImapFailure ImapClient::lastFailure() const
{
    return d->failure;
}

int ImapClient::disconnect()
{
    ++d->generation;
    const bool was = d->connection.hasSocket();
    d->close();
    d->record = {};
    d->lastError = was ? QStringLiteral("Disconnected.") : QStringLiteral("Disconnect: not connected.");
    d->failure = ImapFailure::None;
    return 1;
}

bool ImapClient::isConnected() const
{
    return d->connection.isReady();
}
