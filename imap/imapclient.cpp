#include "imap/imapclient.h"

#include "imap/fetchresponse.h"
#include "imap/imapcommand.h"
#include "imap/imapvalue.h"
#include "imap/mimereader.h"
#include "imap/mutf7.h"
#include "imap/responsereader.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QPointer>
#include <QHash>
#include <QStringDecoder>
#include <QSslConfiguration>
#include <QSslSocket>
#include <QTimer>
#include <functional>

namespace {

constexpr int HeartbeatMs = 50; // abortCheck comes at least this often while a call waits
constexpr qint64 MinSocketBufferBytes = qint64(1) << 20; // 0 would mean no bound at all

const QString Interrupted = QStringLiteral("interrupted by another command on the same connection");

// false from a handler: the response was not well formed
using UntaggedHandler = std::function<bool(const ImapResponse &)>;

// A command whose tagged answer is still to come. Kept until that answer arrives, even when its
// call gave up, so the rest of the answer is read off the connection before the next command.
struct InFlight {
    QByteArray tag;
    int call = 0;
    int fetchNumber = 0;      // a FETCH by sequence number: its untagged answers carry this number
    QList<QByteArray> unsent; // chunks waiting for the server's continuation
    UntaggedHandler untagged;
    std::optional<ImapResponse> completion;
};

// One FETCH of a sequential run, sent ahead of the call that will hand its message over.
struct Fetch {
    int number = 0;
    QString shown;
    std::shared_ptr<InFlight> command;
    std::shared_ptr<FetchedMessage> message;
};

enum class Wait { Done, Aborted, TimedOut, Lost, Superseded, Malformed };

enum class Status { Ok, No, Bad, Failed };

} // namespace

class ImapClient::Private {
public:
    explicit Private(ImapClient *owner) : q(owner) {}

    ImapClient *q;
    bool ssl = false;
    int port = 0;
    QList<QSslCertificate> extraCas;
    int timeoutMs = 30000;

    QPointer<QSslSocket> socket;
    ResponseReader reader;
    QList<std::shared_ptr<InFlight>> inFlight; // in the order sent
    std::optional<ImapResponse> greeting;
    bool greeted = false;
    QString protocolError;
    QByteArray bye;
    QStringList sslErrorTexts;

    int generation = 0; // every call takes the next number; a nested call supersedes the outer one
    int tagCounter = 0;
    int exists = 0;
    QHash<QString, QByteArray> rawNames; // listed names shown otherwise than they are sent
    QString lastError;

    // The announced sequential run: the number the next fetch should ask for, the run's last
    // number, and the fetches already sent for the numbers after it, in order.
    int runNext = 0;
    int runLast = 0;
    QList<Fetch> ahead;
    qint64 runBytes = 0;
    int runMessages = 0;
    int readAheadCount = ImapClient::DefaultReadAheadCount;
    qint64 readAheadBytes = ImapClient::DefaultReadAheadBytes;

    void closeConnection();
    void pump();
    void handle(const ImapResponse &r);
    InFlight *untaggedTarget(const ImapResponse &r) const;
    void noteUntagged(const ImapResponse &r);
    std::shared_ptr<InFlight> send(int call, const ImapCommand &command, const QByteArray &tag);
    std::optional<Fetch> sendFetch(int call, int number, bool byUid);
    void topUpRun(int call);
    void boundSocketBuffer();
    void endRun();
    Wait wait(int call, const std::function<bool()> &done, const std::function<void()> &onTick = {});
    QString waitFailure(Wait w);
    Status run(int call, const ImapCommand &command, const UntaggedHandler &untagged,
               const std::function<void()> &onTick = {}, QByteArray *completion = nullptr);
};

void ImapClient::Private::closeConnection()
{
    if (socket) {
        QSslSocket *s = socket;
        socket = nullptr;
        QObject::disconnect(s, nullptr, nullptr, nullptr);
        s->abort();
        // An outer call may still be inside this socket's signal; QPointer tells it it's gone.
        s->deleteLater();
    }
    reader.clear();
    inFlight.clear();
    endRun();
    greeting.reset();
    greeted = false;
    protocolError.clear();
    bye.clear();
    sslErrorTexts.clear();
    exists = 0;
}

// Reads what arrived and dispatches it. Runs only inside a wait and emits nothing, so no handler
// of the user's can run in the middle of it.
void ImapClient::Private::pump()
{
    if (!socket || !socket->isOpen())
        return;
    const QByteArray bytes = socket->readAll();
    if (!bytes.isEmpty())
        reader.feed(bytes);
    while (auto r = reader.next()) {
        handle(*r);
        // What follows a broken answer cannot be trusted; the connection is about to close.
        if (!socket || !protocolError.isEmpty())
            return;
    }
    if (reader.failed() && protocolError.isEmpty())
        protocolError = reader.errorText();
}

void ImapClient::Private::handle(const ImapResponse &r)
{
    const QByteArray tag = r.tag();
    if (tag == "+") {
        for (const auto &command : std::as_const(inFlight)) {
            if (!command->unsent.isEmpty()) {
                socket->write(command->unsent.takeFirst());
                break;
            }
        }
        return;
    }
    if (tag == "*") {
        if (!greeting) {
            greeting = r;
            return;
        }
        noteUntagged(r);
        InFlight *target = untaggedTarget(r);
        if (target && !target->untagged(r) && protocolError.isEmpty())
            protocolError = QStringLiteral("Malformed response: ") + QString::fromUtf8(r.lines.first().left(200));
        return;
    }
    for (qsizetype i = 0; i < inFlight.size(); ++i) {
        if (inFlight[i]->tag == tag) {
            inFlight[i]->completion = r;
            inFlight.removeAt(i);
            return;
        }
    }
    if (protocolError.isEmpty())
        protocolError = QStringLiteral("Unexpected line from the server: ") + QString::fromUtf8(r.lines.first().left(200));
}

// A FETCH answer goes to the fetch of its number; anything else to the running call's command.
// Only fetch handlers outlive their call's frame, so other handlers run only for the current call.
InFlight *ImapClient::Private::untaggedTarget(const ImapResponse &r) const
{
    if (r.word(2).toUpper() == "FETCH") {
        bool numeric = false;
        const int number = r.word(1).toInt(&numeric);
        for (const auto &command : inFlight)
            if (numeric && command->fetchNumber == number && command->untagged)
                return command.get();
    }
    for (const auto &command : inFlight)
        if (command->untagged && command->call == generation)
            return command.get();
    return nullptr;
}

void ImapClient::Private::noteUntagged(const ImapResponse &r)
{
    const QByteArray kind = r.word(2).toUpper();
    bool numeric = false;
    const int n = r.word(1).toInt(&numeric);
    if (numeric && kind == "EXISTS")
        exists = n;
    else if (numeric && kind == "EXPUNGE")
        exists = qMax(0, exists - 1);
    else if (r.word(1).toUpper() == "BYE")
        bye = r.lines.first();
}

Wait ImapClient::Private::wait(int call, const std::function<bool()> &done, const std::function<void()> &onTick)
{
    const QDeadlineTimer deadline(timeoutMs);
    QEventLoop loop;
    QTimer beat;
    beat.setInterval(HeartbeatMs);
    // A signal that comes while the handlers below yield must not be lost: exec() would then
    // sleep until the next beat.
    bool woke = false;
    const auto wake = [&] {
        woke = true;
        loop.quit();
    };
    QObject::connect(&beat, &QTimer::timeout, &loop, &QEventLoop::quit);
    beat.start();
    if (socket) {
        QObject::connect(socket, &QIODevice::readyRead, &loop, wake);
        QObject::connect(socket, &QIODevice::bytesWritten, &loop, wake);
        QObject::connect(socket, &QAbstractSocket::disconnected, &loop, wake);
        QObject::connect(socket, &QAbstractSocket::errorOccurred, &loop, wake);
        QObject::connect(socket, &QSslSocket::encrypted, &loop, wake);
    }
    while (true) {
        woke = false;
        if (call != generation)
            return Wait::Superseded;
        // Once the answer is in, nothing more is read: what follows waits in the socket's bounded
        // buffer, and beyond it at the server, until a call needs it.
        if (!done())
            pump();
        // Reading stops at a broken answer, so what is done arrived before it.
        if (done())
            return Wait::Done;
        if (!protocolError.isEmpty())
            return Wait::Malformed;
        // After BYE the server only closes the connection: no answer will come.
        if (!bye.isEmpty() || !socket || socket->state() == QAbstractSocket::UnconnectedState)
            return Wait::Lost;
        if (deadline.hasExpired())
            return Wait::TimedOut;
        if (onTick)
            onTick();
        if (call != generation)
            return Wait::Superseded;
        bool abort = false;
        Q_EMIT q->abortCheck(abort);
        if (call != generation)
            return Wait::Superseded;
        if (abort)
            return Wait::Aborted;
        if (!woke)
            loop.exec();
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
        reason = protocolError + QStringLiteral("; connection closed.");
        break;
    case Wait::Lost:
        if (!bye.isEmpty())
            reason = QStringLiteral("The server closed the connection: ") + QString::fromUtf8(bye);
        else if (!socket)
            reason = QStringLiteral("Not connected.");
        else
            reason = QStringLiteral("Connection lost: ") + socket->errorString();
        break;
    }
    closeConnection();
    return reason;
}

std::shared_ptr<InFlight> ImapClient::Private::send(int call, const ImapCommand &command, const QByteArray &tag)
{
    const QList<QByteArray> chunks = command.chunks(tag);
    auto sent = std::make_shared<InFlight>();
    sent->tag = tag;
    sent->call = call;
    sent->unsent = chunks.mid(1);
    inFlight.append(sent);
    socket->write(chunks.first());
    return sent;
}

Status ImapClient::Private::run(int call, const ImapCommand &command, const UntaggedHandler &untagged,
                                const std::function<void()> &onTick, QByteArray *completion)
{
    endRun();
    const QByteArray tag = 'A' + QByteArray::number(++tagCounter);
    const QString shown = QString::fromUtf8(command.shown(tag));
    auto fail = [&](const QString &reason) {
        lastError = shown + QStringLiteral("\r\n") + reason;
        return Status::Failed;
    };
    if (!socket || !greeted || socket->state() != QAbstractSocket::ConnectedState)
        return fail(QStringLiteral("Not connected."));
    if (!inFlight.isEmpty()) {
        const Wait w = wait(call, [this] { return inFlight.isEmpty(); });
        if (w != Wait::Done)
            return fail(waitFailure(w));
    }
    const std::shared_ptr<InFlight> mine = send(call, command, tag);
    mine->untagged = untagged;
    const Wait w = wait(call, [&] { return mine->completion.has_value(); }, onTick);
    mine->untagged = nullptr; // it refers to the caller's frame, which is about to end
    if (w != Wait::Done)
        return fail(waitFailure(w));
    const QByteArray answer = mine->completion->raw();
    if (completion)
        *completion = answer;
    lastError = shown + QStringLiteral("\r\n") + QString::fromUtf8(answer);
    const QByteArray status = mine->completion->word(1).toUpper();
    return status == "OK" ? Status::Ok : status == "NO" ? Status::No : Status::Bad;
}

// nullopt when there is no connection to send on.
std::optional<Fetch> ImapClient::Private::sendFetch(int call, int number, bool byUid)
{
    ImapCommand command = byUid ? ImapCommand("UID").atom("FETCH") : ImapCommand("FETCH");
    command.atom(QByteArray::number(number)).atom("(BODY.PEEK[] INTERNALDATE)");
    const QByteArray tag = 'A' + QByteArray::number(++tagCounter);
    Fetch fetch;
    fetch.number = number;
    fetch.shown = QString::fromUtf8(command.shown(tag));
    if (!socket || !greeted || socket->state() != QAbstractSocket::ConnectedState)
        return std::nullopt;
    fetch.command = send(call, command, tag);
    fetch.message = std::make_shared<FetchedMessage>();
    fetch.command->fetchNumber = byUid ? 0 : number;
    fetch.command->untagged = [number, byUid, message = fetch.message](const ImapResponse &r) {
        return ReadFetchResponse(r, number, byUid, *message);
    };
    return fetch;
}

// Keeps further fetches of the run in flight, so the next message is on its way while this one is
// handed over. Bounded by count and by the bytes they will hold (the run's average message size
// for those still arriving).
void ImapClient::Private::topUpRun(int call)
{
    const int last = qMin(runLast, exists);
    int next = ahead.isEmpty() ? runNext : ahead.last().number + 1;
    const qint64 averageBytes = runMessages > 0 ? runBytes / runMessages : qint64(64) << 10;
    qint64 held = 0;
    for (const Fetch &fetch : std::as_const(ahead))
        held += fetch.message->body ? fetch.message->body->size() : averageBytes;
    while (next <= last && ahead.size() < readAheadCount && held + averageBytes <= readAheadBytes) {
        const std::optional<Fetch> fetch = sendFetch(call, next, false);
        if (!fetch)
            return;
        ahead.append(*fetch);
        held += averageBytes;
        ++next;
    }
}

// Fetches sent ahead are counted at the run's average size, which the next messages may far
// exceed. The socket stops taking bytes beyond the bound until they are read, and answers are
// only read while a call waits for its own, so the server holds back the rest.
void ImapClient::Private::boundSocketBuffer()
{
    if (socket)
        socket->setReadBufferSize(qMax<qint64>(readAheadBytes, MinSocketBufferBytes));
}

// Gives up the fetches sent ahead: their answers are still read off, but nobody keeps them.
void ImapClient::Private::endRun()
{
    for (const Fetch &fetch : std::as_const(ahead))
        fetch.command->untagged = nullptr;
    ahead.clear();
    runNext = 0;
    runLast = 0;
    runBytes = 0;
    runMessages = 0;
}

ImapClient::ImapClient(QObject *parent) : QObject(parent), d(std::make_unique<Private>(this)) {}

ImapClient::~ImapClient()
{
    d->closeConnection();
}

void ImapClient::setSsl(bool on)
{
    d->ssl = on;
}

void ImapClient::setPort(int port)
{
    d->port = port;
}

void ImapClient::setExtraCaCertificates(const QList<QSslCertificate> &certificates)
{
    d->extraCas = certificates;
}

void ImapClient::setTimeoutMs(int ms)
{
    d->timeoutMs = qMax(1, ms);
}

int ImapClient::connect(const QString &host)
{
    const int call = ++d->generation;
    d->closeConnection();
    const QString shown = QStringLiteral("Connect to %1:%2 (%3)")
                              .arg(host)
                              .arg(d->port)
                              .arg(d->ssl ? QStringLiteral("TLS") : QStringLiteral("plain TCP"));
    auto fail = [&](const QString &reason) {
        d->lastError = shown + QStringLiteral("\r\n") + reason;
        return 0;
    };
    if (host.trimmed().isEmpty())
        return fail(QStringLiteral("No host name given."));
    if (d->port < 1 || d->port > 65535)
        return fail(QStringLiteral("Invalid port %1.").arg(d->port));

    auto *socket = new QSslSocket(this);
    d->socket = socket;
    d->boundSocketBuffer();
    QObject::connect(socket, &QSslSocket::sslErrors, socket, [this](const QList<QSslError> &errors) {
        for (const QSslError &e : errors)
            d->sslErrorTexts.append(e.errorString());
    });
    if (d->ssl) {
        QSslConfiguration config = socket->sslConfiguration();
        if (!d->extraCas.isEmpty()) {
            // Naming roots of our own turns off Qt's loading of the system's on demand, so name
            // those too; reading them all takes a while, so once a run of the program.
            static const QList<QSslCertificate> systemRoots = QSslConfiguration::systemCaCertificates();
            config.setCaCertificates(systemRoots + d->extraCas);
        }
        config.setPeerVerifyMode(QSslSocket::VerifyPeer);
        socket->setSslConfiguration(config);
        socket->connectToHostEncrypted(host, quint16(d->port));
    } else {
        socket->connectToHost(host, quint16(d->port));
    }

    const Wait w = d->wait(call, [this, socket] {
        if (d->ssl && !socket->isEncrypted())
            return false;
        return socket->state() == QAbstractSocket::ConnectedState && d->greeting.has_value();
    });
    if (w == Wait::Superseded)
        return fail(Interrupted);
    if (w != Wait::Done) {
        QString reason;
        if (w == Wait::Lost && !d->sslErrorTexts.isEmpty())
            reason = QStringLiteral("Certificate verification failed: ") + d->sslErrorTexts.join(QStringLiteral("; "));
        else if (w == Wait::Lost)
            reason = QStringLiteral("Could not connect: ") + socket->errorString();
        else
            reason = d->waitFailure(w);
        d->closeConnection();
        return fail(reason);
    }
    const QByteArray status = d->greeting->word(1).toUpper();
    const QString answer = QString::fromUtf8(d->greeting->raw());
    if (status != "OK" && status != "PREAUTH") {
        d->closeConnection();
        return fail(QStringLiteral("The server refused the connection: ") + answer);
    }
    d->greeted = true;
    d->lastError = shown + QStringLiteral("\r\n") + answer;
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
    QByteArray completion;
    const Status s = d->run(call, ImapCommand(command.toUtf8()), [&](const ImapResponse &r) {
        lines.append(QString::fromUtf8(r.raw()));
        return true;
    }, {}, &completion);
    if (s == Status::Failed)
        return {};
    lines.append(QString::fromUtf8(completion));
    return lines.join(QStringLiteral("\r\n"));
}

int ImapClient::login(const QString &user, const QString &password)
{
    const int call = ++d->generation;
    const ImapCommand command = ImapCommand("LOGIN").string(user.toUtf8()).string(password.toUtf8(), true);
    return d->run(call, command, {}) == Status::Ok ? 1 : 0;
}

std::unique_ptr<MailboxList> ImapClient::listMailboxes(const QString &reference, const QString &pattern)
{
    const int call = ++d->generation;
    QList<QByteArray> raw;
    const ImapCommand command =
        ImapCommand("LIST").string(EncodeMailboxName(reference)).string(EncodeMailboxName(pattern));
    const Status s = d->run(call, command, [&](const ImapResponse &r) {
        if (r.word(1).toUpper() != "LIST")
            return true;
        const auto values = ParseResponseValues(r);
        // * LIST (flags) delimiter name
        if (!values || values->size() != 5 || values->at(2).kind != ImapValue::Kind::List
            || !values->at(4).isText())
            return false;
        raw.append(values->at(4).text);
        return true;
    });
    if (s != Status::Ok)
        return nullptr;
    QStringList names;
    d->rawNames.clear();
    for (const QByteArray &name : raw) {
        const auto decoded = DecodeMailboxName(name);
        QStringDecoder utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        QString shown = decoded ? *decoded : utf8.decode(name);
        // Not UTF-8: one character per byte, so no two names look alike and none loses a byte.
        if (!decoded && utf8.hasError())
            shown = QString::fromLatin1(name);
        if (EncodeMailboxName(shown) != name)
            d->rawNames.insert(shown, name);
        names.append(shown);
    }
    return std::make_unique<MailboxList>(names);
}

int ImapClient::selectMailbox(const QString &name)
{
    const int call = ++d->generation;
    const QByteArray encoded = d->rawNames.value(name, EncodeMailboxName(name));
    d->exists = 0;
    const Status s = d->run(call, ImapCommand("SELECT").string(encoded), {});
    if (call != d->generation)
        return 0;
    if (s != Status::Ok) {
        d->exists = 0; // a failed SELECT leaves no mailbox selected
        return 0;
    }
    return 1;
}

int ImapClient::messageCount() const
{
    return d->exists;
}

void ImapClient::setReadAhead(int commands, qint64 bytes)
{
    d->readAheadCount = qMax(0, commands);
    d->readAheadBytes = qMax<qint64>(0, bytes);
    d->boundSocketBuffer();
}

void ImapClient::expectSequentialFetches(int first, int last)
{
    d->endRun();
    if (first >= 1 && first <= last) {
        d->runNext = first;
        d->runLast = last;
    }
}

std::unique_ptr<Email> ImapClient::fetchSingle(int number, bool byUid)
{
    const int call = ++d->generation;
    if (number < 1) {
        d->lastError = QStringLiteral("No message number %1: numbers start at 1.").arg(number);
        return nullptr;
    }
    std::optional<Fetch> fetch;
    if (!byUid && d->runNext > 0 && number == d->runNext) {
        d->runNext = number + 1;
        if (!d->ahead.isEmpty() && d->ahead.first().number == number)
            fetch = d->ahead.takeFirst();
        else
            fetch = d->sendFetch(call, number, false);
        d->topUpRun(call);
    } else {
        d->endRun();
        if (!d->inFlight.isEmpty()) {
            const Wait w = d->wait(call, [this] { return d->inFlight.isEmpty(); });
            if (w != Wait::Done) {
                d->lastError = QStringLiteral("FETCH %1\r\n").arg(number) + d->waitFailure(w);
                return nullptr;
            }
        }
        fetch = d->sendFetch(call, number, byUid);
    }
    if (!fetch) {
        d->lastError = QStringLiteral("FETCH %1\r\nNot connected.").arg(number);
        return nullptr;
    }

    int lastPercent = -1;
    auto report = [&](int percent) {
        if (percent != lastPercent) {
            lastPercent = percent;
            Q_EMIT percentDone(percent);
        }
    };
    const QByteArray seqPrefix = "* " + QByteArray::number(number) + " FETCH";
    auto onTick = [&] {
        const QByteArray partial = d->reader.partialFirstLine();
        const qint64 size = d->reader.literalSize();
        const bool ours = byUid ? partial.contains(" FETCH ") : partial.startsWith(seqPrefix);
        report(ours && size > 0 ? int(d->reader.literalReceived() * 100 / size) : qMax(lastPercent, 0));
    };
    const std::shared_ptr<InFlight> command = fetch->command;
    const Wait w = d->wait(call, [&] { return command->completion.has_value(); }, onTick);
    if (w != Wait::Done) {
        command->untagged = nullptr;
        if (w == Wait::Aborted)
            d->endRun(); // nothing read ahead is handed over after a Stop
        d->lastError = fetch->shown + QStringLiteral("\r\n") + d->waitFailure(w);
        return nullptr;
    }
    d->lastError = fetch->shown + QStringLiteral("\r\n") + QString::fromUtf8(command->completion->raw());
    const std::optional<QByteArray> &body = fetch->message->body;
    if (command->completion->word(1).toUpper() != "OK")
        return nullptr;
    if (!body) {
        d->lastError += QStringLiteral("\r\nThe server sent no message for number %1.").arg(number);
        return nullptr;
    }
    d->runBytes += body->size();
    ++d->runMessages;
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
    const bool was = d->socket != nullptr;
    d->closeConnection();
    d->lastError = was ? QStringLiteral("Disconnected.") : QStringLiteral("Disconnect: not connected.");
    return 1;
}

bool ImapClient::isConnected() const
{
    return d->socket && d->greeted && d->socket->state() == QAbstractSocket::ConnectedState;
}
