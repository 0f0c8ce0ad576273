#pragma once

// The inside of ImapClient, shared by its files: imapclient.cpp (the calls), clientwait.cpp (how a
// call waits), clientfetch.cpp (fetching a message, ahead or not) and resume.cpp (taking a
// sequential run up again on a new connection).

#include "imap/connection.h"
#include "imap/fetchpipeline.h"
#include "imap/imapclient.h"
#include "imap/imapfailure.h"
#include "imap/listresponse.h"

#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

enum class Wait { Done, Aborted, TimedOut, Lost, Superseded, Malformed };

inline const QString Interrupted = QStringLiteral("interrupted by another command on the same connection");
inline const QString NotConnected = QStringLiteral("Not connected.");

// How the connection came to be signed in and in its mailbox, so that a new one can be put in the
// same place: the commands that signed in (raw ones such as ID, then LOGIN) and the SELECT.
struct SignInRecord {
    struct Step {
        ImapCommand command;
        bool mustSucceed; // LOGIN must be answered OK; any answer to a raw command will do
    };
    QList<Step> steps;
    bool signedIn = false;
    std::optional<ImapCommand> select;
    qint64 uidValidity = -1;
    int exists = 0; // the count the connection knew when it was lost
};

// A fetch's outcome: the message's values, or none; lost: the failure took the connection with it.
struct FetchOutcome {
    std::unique_ptr<Email> email;
    bool lost = false;
};

// Every public call takes the next generation number. A call made while another one waits (from
// a handler of its events) supersedes it: the outer call gives up as soon as it wakes.
class ImapClient::Private {
public:
    explicit Private(ImapClient *owner) : q(owner) {}

    static constexpr int Tries = 3; // sign-ins again in a row before a run is given up

    ImapClient *q;
    Endpoint endpoint;
    int timeoutMs = 30000;
    int reconnectPauseMs = DefaultReconnectPauseMs;
    Connection connection;
    FetchPipeline pipeline;
    ListedNames listed;
    SignInRecord record;
    int triesInARow = 0; // sign-ins again since a message was last handed over
    int generation = 0;
    QString lastError;
    ImapFailure failure = ImapFailure::None;
    QString password; // masked out of every text given out

    Wait wait(int call, const std::function<bool()> &done, const std::function<void()> &onTick = {});
    Wait poll(int call); // the abort poll: Done to go on
    Wait pause(int call, int ms);
    // The answers of earlier commands, even abandoned ones, are read off before the next is sent.
    Wait waitUntilIdle(int call)
    {
        return connection.idle() ? Wait::Done : wait(call, [this] { return connection.idle(); });
    }
    QString waitFailure(Wait w); // and the failure's kind
    // Connects to the endpoint and takes its greeting; empty, or why there is no session.
    QString open(int call);
    // The command with its tagged answer; nullptr when none came (see lastError).
    std::shared_ptr<SentCommand> run(int call, const ImapCommand &command, const UntaggedHandler &untagged = {});
    std::optional<Fetch> sendFetch(int call, int number, bool byUid, const ReadingPlan &plan);
    std::optional<OutlineFetch> sendOutlines(int call, int first, int last);
    FetchOutcome fetch(int call, int number, bool byUid);
    FetchOutcome receive(int call, const Fetch &fetch, bool byUid);
    FetchOutcome fetchFailed(const QString &shown, Wait w);
    void topUp(int call);
    FetchOutcome resumeRun(int call, int number, qint64 last);
    bool resume(int call, int from, qint64 last, QString &story);
    QString signInAgain(int call);
    void close()
    {
        connection.close();
        pipeline.end();
    }
    std::nullptr_t fail(const QString &shown, const QString &reason)
    {
        lastError = LastErrorText(shown, reason);
        return nullptr;
    }
};
