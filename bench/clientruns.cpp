#include "bench/clientruns.h"

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTimer>

namespace {

constexpr int ChildTimeoutMs = 30 * 60 * 1000;

struct ChildOutcome {
    bool finished = false;
    int exitCode = -1;
    double seconds = 0;
    QByteArray out;
    QByteArray err;
};

// Waits in an event loop rather than blocking, so the delay proxy of this process keeps relaying.
ChildOutcome runChild(const QString &program, const QStringList &arguments,
                      const QProcessEnvironment &environment = QProcessEnvironment::systemEnvironment())
{
    QProcess child;
    child.setProcessEnvironment(environment);
    QEventLoop loop;
    QObject::connect(&child, &QProcess::finished, &loop, &QEventLoop::quit);
    QObject::connect(&child, &QProcess::errorOccurred, &loop, [&](QProcess::ProcessError error) {
        if (error == QProcess::FailedToStart)
            loop.quit();
    });
    QTimer::singleShot(ChildTimeoutMs, &loop, &QEventLoop::quit);
    QElapsedTimer clock;
    clock.start();
    child.start(program, arguments);
    loop.exec();
    ChildOutcome outcome;
    outcome.seconds = double(clock.nsecsElapsed()) / 1e9;
    if (child.state() != QProcess::NotRunning) {
        child.kill();
        child.waitForFinished(5000);
    } else {
        outcome.finished = child.exitStatus() == QProcess::NormalExit && child.error() != QProcess::FailedToStart;
    }
    outcome.exitCode = child.exitCode();
    outcome.out = child.readAllStandardOutput();
    outcome.err = child.readAllStandardError();
    return outcome;
}

QString failure(const QString &program, const ChildOutcome &outcome)
{
    if (!outcome.finished)
        return program + QStringLiteral(" did not finish (crash, timeout or not started)\n") + QString::fromLocal8Bit(outcome.err);
    return program + QStringLiteral(" exited with %1\n").arg(outcome.exitCode) + QString::fromLocal8Bit(outcome.err);
}

// A child's "RESULT key=value ..." line.
RunFigures parseResult(const QString &program, const ChildOutcome &outcome)
{
    RunFigures figures;
    if (!outcome.finished || outcome.exitCode != 0) {
        figures.error = failure(program, outcome);
        return figures;
    }
    const QRegularExpressionMatch line =
        QRegularExpression(QStringLiteral("^RESULT (.*)$"), QRegularExpression::MultilineOption)
            .match(QString::fromUtf8(outcome.out));
    if (!line.hasMatch()) {
        figures.error = program + QStringLiteral(" printed no RESULT line\n") + QString::fromUtf8(outcome.out);
        return figures;
    }
    for (const QString &pair : line.captured(1).split(u' ', Qt::SkipEmptyParts)) {
        const QString key = pair.section(u'=', 0, 0);
        const QString value = pair.section(u'=', 1);
        if (key == QLatin1String("seconds"))
            figures.seconds = value.toDouble();
        else if (key == QLatin1String("messages"))
            figures.messages = value.toInt();
        else if (key == QLatin1String("start_rss_kb"))
            figures.startRssKb = value.toLongLong();
        else if (key == QLatin1String("peak_rss_kb"))
            figures.peakRssKb = value.toLongLong();
        else if (key == QLatin1String("texts_chars"))
            figures.textsChars = value.toLongLong();
        else if (key == QLatin1String("log_bytes"))
            figures.errorLogBytes = value.toLongLong();
    }
    figures.ok = true;
    return figures;
}

QString mbsyncConfig(const ReadTarget &target, const QString &maildir)
{
    // No fsync: the bench compares reading from the server, not the disk.
    return QStringLiteral(R"(FSync no

IMAPAccount benchaccount
Host localhost
Port %1
User %2
Pass "%3"
SSLType IMAPS
CertificateFile %4

IMAPStore benchfar
Account benchaccount

MaildirStore benchnear
Path %5/
Inbox %5/INBOX

Channel bench
Far :benchfar:%6
Near :benchnear:%6
Create Near
Sync Pull
SyncState *
)")
        .arg(target.port)
        .arg(target.user, target.password, target.caFile, maildir, target.folder);
}

int filesIn(const QString &folder)
{
    int count = 0;
    for (const char *sub : {"cur", "new"})
        count += int(QDir(folder + u'/' + QLatin1String(sub)).entryList(QDir::Files).size());
    return count;
}

} // namespace

RunFigures RunOurs(const QString &self, const ReadTarget &target)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QUORVANE_IMAP_HOST"), QStringLiteral("localhost"));
    environment.insert(QStringLiteral("QUORVANE_IMAP_PORT"), QString::number(target.port));
    environment.insert(QStringLiteral("QUORVANE_CA_FILE"), target.caFile);
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    return parseResult(QStringLiteral("our reader"),
                       runChild(self,
                                {QStringLiteral("--ours"), QString::number(target.port), target.user, target.password,
                                 target.folder},
                                environment));
}

RunFigures RunPython(const ReadTarget &target)
{
    return parseResult(QStringLiteral("imaplib peer"),
                       runChild(QStringLiteral("/usr/bin/python3"),
                                {QStringLiteral(QUORVANE_BENCH_DIR "/imaplib_peer.py"), QString::number(target.port),
                                 target.user, target.password, target.folder, target.caFile}));
}

RunFigures RunMbsync(const ReadTarget &target)
{
    RunFigures figures;
    QTemporaryDir dir;
    const QString maildir = dir.filePath(QStringLiteral("mail"));
    const QString config = dir.filePath(QStringLiteral("mbsyncrc"));
    QFile file(config);
    if (!dir.isValid() || !QDir().mkpath(maildir) || !file.open(QIODevice::WriteOnly)
        || file.write(mbsyncConfig(target, maildir).toUtf8()) < 0) {
        figures.error = QStringLiteral("cannot write the mbsync configuration in ") + dir.path();
        return figures;
    }
    file.close();
    const ChildOutcome outcome =
        runChild(QStringLiteral("mbsync"), {QStringLiteral("-q"), QStringLiteral("-c"), config, QStringLiteral("bench")});
    if (!outcome.finished || outcome.exitCode != 0) {
        figures.error = failure(QStringLiteral("mbsync"), outcome);
        return figures;
    }
    figures.ok = true;
    figures.seconds = outcome.seconds;
    figures.messages = filesIn(maildir + u'/' + target.folder);
    return figures;
}
