#include "tests/e2e/xsession.h"

#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <csignal>
#include <stdexcept>
#include <sys/prctl.h>

namespace {

[[noreturn]] void fail(const QString &why)
{
    throw std::runtime_error(why.toStdString());
}

QString tool(const QString &name)
{
    const QString path = QStandardPaths::findExecutable(name, {QStringLiteral("/usr/bin")});
    if (path.isEmpty())
        fail(QStringLiteral("%1 is not installed (scripts/setup-debian.sh installs it)").arg(name));
    return path;
}

} // namespace

void XSession::dieWithParent(QProcess &process)
{
    process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGKILL); });
}

XSession::XSession()
{
    // -displayfd 1: the server picks a free display and says which on its standard output.
    dieWithParent(m_server);
    m_server.start(tool(QStringLiteral("Xvfb")), {QStringLiteral("-displayfd"), QStringLiteral("1"),
                                                  QStringLiteral("-screen"), QStringLiteral("0"),
                                                  QStringLiteral("%1x%2x24").arg(screen().width()).arg(screen().height()),
                                                  QStringLiteral("-nolisten"),
                                                  QStringLiteral("tcp")});
    if (!m_server.waitForStarted(10000))
        fail(QStringLiteral("Xvfb did not start: ") + m_server.errorString());
    QElapsedTimer clock;
    clock.start();
    QByteArray said;
    while (!said.contains('\n') && clock.elapsed() < 30000) {
        if (m_server.state() != QProcess::Running)
            fail(QStringLiteral("Xvfb ended at start: ") + QString::fromLocal8Bit(m_server.readAllStandardError()));
        m_server.waitForReadyRead(500);
        said += m_server.readAllStandardOutput();
    }
    if (!said.contains('\n'))
        fail(QStringLiteral("Xvfb named no display within 30 s"));
    m_display = QLatin1Char(':') + QString::fromLatin1(said.trimmed());
    tool(QStringLiteral("xdotool"));
}

XSession::~XSession()
{
    m_server.terminate();
    if (!m_server.waitForFinished(5000)) {
        m_server.kill();
        m_server.waitForFinished(2000);
    }
}

QByteArray XSession::run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    process.setProcessEnvironment(environment);
    dieWithParent(process);
    process.start(tool(program), arguments);
    if (!process.waitForFinished(30000) || process.exitStatus() != QProcess::NormalExit
        || process.exitCode() != 0) {
        process.kill();
        fail(QStringLiteral("%1 %2 failed: %3").arg(program, arguments.join(QLatin1Char(' ')),
                                                      QString::fromLocal8Bit(process.readAllStandardError())));
    }
    return process.readAllStandardOutput();
}

void XSession::moveTo(const QPoint &at)
{
    run(QStringLiteral("xdotool"),
        {QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y())});
}

void XSession::click(const QPoint &at)
{
    // Moved first and clicked a moment later, as a hand would: the widget sees the pointer enter.
    moveTo(at);
    run(QStringLiteral("xdotool"), {QStringLiteral("sleep"), QStringLiteral("0.1"), QStringLiteral("click"),
                                    QStringLiteral("1")});
}

void XSession::type(const QString &text)
{
    run(QStringLiteral("xdotool"), {QStringLiteral("type"), QStringLiteral("--delay"), QStringLiteral("30"), text});
}

void XSession::key(const QString &name)
{
    run(QStringLiteral("xdotool"), {QStringLiteral("key"), name});
}

void XSession::screenshot(const QRect &area, const QString &pngPath)
{
    QTemporaryDir scratch;
    const QString dump = scratch.filePath(QStringLiteral("screen.xwd"));
    const QString png = scratch.filePath(QStringLiteral("window.png"));
    run(QStringLiteral("xwd"), {QStringLiteral("-root"), QStringLiteral("-silent"), QStringLiteral("-display"),
                                m_display, QStringLiteral("-out"), dump});
    const QString crop = QStringLiteral("%1x%2+%3+%4").arg(area.width()).arg(area.height()).arg(area.x()).arg(area.y());
    run(QStringLiteral("convert"), {QStringLiteral("xwd:") + dump, QStringLiteral("-crop"), crop,
                                    QStringLiteral("+repage"), QStringLiteral("png:") + png});
    QFile::remove(pngPath);
    if (!QFile::rename(png, pngPath) && !QFile::copy(png, pngPath))
        fail(QStringLiteral("cannot save the screenshot as ") + pngPath);
}

QByteArray XSession::screenDump()
{
    return run(QStringLiteral("xwd"), {QStringLiteral("-root"), QStringLiteral("-silent"), QStringLiteral("-display"), m_display});
}

QStringList XSession::windowTitles()
{
    // Not run(): xdotool says "none" with exit status 1.
    QProcess search;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), m_display);
    search.setProcessEnvironment(environment);
    search.start(tool(QStringLiteral("xdotool")), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                   QStringLiteral("--name"), QStringLiteral("."),
                                                   QStringLiteral("getwindowname"), QStringLiteral("%@")});
    if (!search.waitForFinished(30000))
        search.kill();
    return QString::fromUtf8(search.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}
