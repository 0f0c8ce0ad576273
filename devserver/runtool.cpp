#include "devserver/runtool.h"

#include <QProcess>
#include <stdexcept>

QByteArray RunTool(const QString &program, const QStringList &arguments, const QByteArray &input)
{
    QProcess process;
    process.start(program, arguments);
    const auto fail = [&](const QString &why) {
        throw std::runtime_error(QStringLiteral("%1 %2: %3\n%4")
                                     .arg(program, arguments.join(QLatin1Char(' ')), why,
                                          QString::fromLocal8Bit(process.readAllStandardError()))
                                     .toStdString());
    };
    if (!process.waitForStarted(10000))
        fail(process.errorString());
    process.write(input);
    process.closeWriteChannel();
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished(1000);
        fail(QStringLiteral("did not finish within 30 s"));
    }
    if (process.exitStatus() != QProcess::NormalExit)
        fail(QStringLiteral("crashed"));
    if (process.exitCode() != 0)
        fail(QStringLiteral("exit code %1").arg(process.exitCode()));
    return process.readAllStandardOutput();
}
