#include "imap/imapclient_p.h"

// Taking a sequential run up again when its connection is lost. Each step's story goes into the
// last-error text of the fetch that met the loss, so the caller's log tells what happened.

FetchOutcome ImapClient::Private::resumeRun(int call, int number, qint64 last)
{
    QString story = lastError;
    FetchOutcome outcome;
    if (resume(call, number, last, story)) {
        outcome = fetch(call, number, false);
        story += QStringLiteral("\r\n") + lastError;
        // Broken on a new connection too: only this number is given up.
        if (outcome.lost && number < last)
            resume(call, number + 1, last, story);
    }
    lastError = story;
    return outcome;
}

// Signs in again and selects the mailbox, so that the run goes on at `from`. False: the run is
// over, stopped or given up, and the connection is closed.
bool ImapClient::Private::resume(int call, int from, qint64 last, QString &story)
{
    if (!record.signedIn || !record.select) {
        story += QStringLiteral("\r\nNot resumed: the connection was not signed in and in a mailbox.");
        return false;
    }
    const int exists = record.exists;
    while (triesInARow < Tries) {
        const int attempt = ++triesInARow;
        const Wait paused = attempt == 1 ? Wait::Done : pause(call, reconnectPauseMs << (attempt - 2));
        const QString why = paused == Wait::Done ? signInAgain(call) : waitFailure(paused);
        if (why.isEmpty() && (connection.uidValidity() != record.uidValidity || connection.exists() != exists)) {
            // Sequence numbers may point at other messages now.
            story += QStringLiteral("\r\nSigned in again, but the mailbox changed meanwhile (UIDVALIDITY %1, %2 "
                                    "messages; before: %3, %4): not resumed.")
                         .arg(connection.uidValidity())
                         .arg(connection.exists())
                         .arg(record.uidValidity)
                         .arg(exists);
            failure = ImapFailure::FolderChanged;
            break;
        }
        if (why.isEmpty()) {
            story += QStringLiteral("\r\nSigned in again (try %1 of %2); reading goes on at message %3.")
                         .arg(attempt)
                         .arg(Tries)
                         .arg(from);
            pipeline.start(from, int(last));
            return true;
        }
        story += QStringLiteral("\r\nSigning in again, try %1 of %2: %3").arg(attempt).arg(Tries).arg(why);
        if (failure == ImapFailure::Aborted)
            break;
    }
    if (triesInARow >= Tries && failure != ImapFailure::Aborted && failure != ImapFailure::FolderChanged)
        story += QStringLiteral("\r\nGiven up after %1 tries in a row.").arg(Tries);
    close();
    return false;
}

QString ImapClient::Private::signInAgain(int call)
{
    if (const QString why = open(call); !why.isEmpty())
        return why;
    for (const SignInRecord::Step &step : std::as_const(record.steps)) {
        const std::shared_ptr<SentCommand> answered = run(call, step.command);
        if (!answered || (step.mustSucceed && answered->completion->keyword != "OK"))
            return lastError;
    }
    const std::shared_ptr<SentCommand> selected = run(call, *record.select);
    if (!selected || selected->completion->keyword != "OK")
        return lastError;
    return {};
}
