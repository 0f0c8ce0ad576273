#include "support/cmdoutput.h"

#include "support/apperror.h"
#include "support/doevents.h"
#include "support/messageseam.h"

#include <QEventLoop>
#include <QProcess>
#include <QStringDecoder>
#include <QTimer>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

constexpr qint64 ChunkBytes = 1024;
// A child that writes without end must not eat all memory; what came so far is returned.
constexpr qint64 MaxCaptureBytes = 16 * 1024 * 1024;
// How long one wait for output lasts before the events get their turn again.
constexpr int PollMs = 50;

QStringDecoder consoleDecoder(bool oemConvert)
{
#ifdef Q_OS_WIN
    if (oemConvert) {
        QStringDecoder oem(QByteArray("CP" + QByteArray::number(GetOEMCP())).constData());
        if (oem.isValid())
            return oem;
    }
#else
    // Consoles here write in the locale's encoding, which is also the system encoding.
    Q_UNUSED(oemConvert);
#endif
    return QStringDecoder(QStringDecoder::System);
}

void routeChannels(QProcess &process, bool captureStdOut, bool captureStdErr)
{
    process.setStandardInputFile(QProcess::nullDevice());
    if (captureStdOut && captureStdErr) {
        process.setProcessChannelMode(QProcess::MergedChannels);
    } else if (captureStdOut) {
        process.setStandardErrorFile(QProcess::nullDevice());
    } else {
        process.setStandardOutputFile(QProcess::nullDevice());
        process.setReadChannel(QProcess::StandardError);
    }
}

// Waits in a local loop, so the windows keep handling input, until output arrives, the
// child ends or the poll interval is over.
void waitForOutput(QProcess &process)
{
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QIODevice::readyRead, &loop, &QEventLoop::quit);
    QObject::connect(&process, &QProcess::finished, &loop, &QEventLoop::quit);
    timer.start(PollMs);
    loop.exec();
}

} // namespace

namespace CmdOutput {

QString GetCommandOutput(const QString &CommandLine, bool CaptureStdOut, bool CaptureStdErr, bool OemConvert)
{
    if (!CaptureStdOut && !CaptureStdErr)
        throw AppError(QStringLiteral("Invalid procedure call or argument"));

    QStringList arguments = QProcess::splitCommand(CommandLine);
    if (arguments.isEmpty())
        return QString::fromLatin1(FailedToCreateProcess);
    const QString program = arguments.takeFirst();

    QProcess process;
    routeChannels(process, CaptureStdOut, CaptureStdErr);
    process.start(program, arguments, QIODevice::ReadOnly);
    if (!process.waitForStarted())
        return QString::fromLatin1(FailedToCreateProcess);

    // One decoder for the whole output: a character split across two chunks stays whole.
    QStringDecoder decoder = consoleDecoder(OemConvert);
    QString result;
    qint64 captured = 0;
    for (;;) {
        DoEvents();
        if (process.bytesAvailable() == 0) {
            if (process.state() == QProcess::NotRunning)
                break;
            waitForOutput(process);
            continue;
        }
        const QByteArray chunk = process.read(ChunkBytes);
        result += decoder.decode(chunk);
        captured += chunk.size();
        if (captured >= MaxCaptureBytes) {
            process.kill();
            process.waitForFinished();
            break;
        }
    }
    return result;
}

QString onlineCheckHost()
{
    const QString host = qEnvironmentVariable("QUORVANE_PING_HOST");
    return host.isEmpty() ? QStringLiteral("one.one.one.one") : host;
}

void CheckOnline()
{
#ifdef Q_OS_WIN
    const QString commandLine = QStringLiteral("ping ") + onlineCheckHost() + QStringLiteral(" -n 1");
#else
    // -W 3: an unanswered echo ends the check after a few seconds instead of hanging start-up.
    const QString commandLine = QStringLiteral("ping -c 1 -W 3 ") + onlineCheckHost();
#endif
    const QString reply = GetCommandOutput(commandLine, true, false, true);
    // Windows prints "bytes=" in a reply line, iputils "bytes from"; nothing at all is no reply.
    if (!reply.contains(QStringLiteral("bytes="), Qt::CaseInsensitive)
        && !reply.contains(QStringLiteral("bytes from"), Qt::CaseInsensitive))
        MsgBox(QStringLiteral("You must be online to use this software accurately."));
}

} // namespace CmdOutput
