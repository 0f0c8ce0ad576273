#include "tests/e2e/quorvaneapp.h"

#include "tests/common/wait.h"
#include "tests/e2e/xsession.h"

#include <QDir>
#include <QFile>
#include <QThread>
#include <stdexcept>

namespace {

void writeScript(const QString &path, const QByteArray &body)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write("#!/bin/sh\n" + body) < 0)
        throw std::runtime_error("cannot write " + path.toStdString());
    file.close();
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner
                        | QFileDevice::ReadGroup | QFileDevice::ExeGroup | QFileDevice::ReadOther
                        | QFileDevice::ExeOther);
}

} // namespace

QProcessEnvironment QuorvaneApp::desktop(const QString &home)
{
    for (const char *sub : {"config", "Documents", "temp", "bin", "runtime"})
        QDir().mkpath(home + QLatin1Char('/') + QLatin1String(sub));
    QFile::setPermissions(home + QStringLiteral("/runtime"),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    // Detection finds a spreadsheet program on the PATH; the desktop's opener only notes the file.
    writeScript(home + QStringLiteral("/bin/libreoffice"), "exit 0\n");
    writeScript(home + QStringLiteral("/bin/xdg-open"),
                "printf '%s\\n' \"$1\" >> '" + QFile::encodeName(home) + "/opened.txt'\n");

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("PATH"), home + QStringLiteral("/bin:") + environment.value(QStringLiteral("PATH")));
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home + QStringLiteral("/config"));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home + QStringLiteral("/runtime"));
    environment.insert(QStringLiteral("TEMP"), home + QStringLiteral("/temp"));
    environment.insert(QStringLiteral("QUORVANE_PING_HOST"), QStringLiteral("127.0.0.1"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("LANG"), QStringLiteral("C.UTF-8"));
    environment.insert(QStringLiteral("TZ"), QStringLiteral("UTC"));
    // No session bus, not even one started on demand for the display: no keyring answers, and
    // the remembered password stays in the settings file that the test reads.
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), QStringLiteral("unix:path=") + home
                       + QStringLiteral("/runtime/no-bus"));
    environment.remove(QStringLiteral("XDG_CURRENT_DESKTOP"));
    environment.insert(QStringLiteral("QT_PLUGIN_PATH"), QStringLiteral(QUORVANE_E2E_PLUGIN_DIR));
    environment.insert(QStringLiteral("QT_QPA_GENERIC_PLUGINS"), QStringLiteral("quorvaneprobe"));
    return environment;
}

QuorvaneApp::QuorvaneApp(XSession &x, const QString &home, const QProcessEnvironment &extra)
    : m_x(x), m_home(home), m_probeFile(home + QStringLiteral("/probe.json"))
{
    QFile::remove(m_probeFile);
    QProcessEnvironment environment = desktop(home);
    for (const QString &key : extra.keys())
        environment.insert(key, extra.value(key));
    environment.insert(QStringLiteral("DISPLAY"), x.display());
    environment.insert(QStringLiteral("QUORVANE_PROBE_FILE"), m_probeFile);
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    XSession::dieWithParent(m_process);
    m_process.start(QStringLiteral(QUORVANE_E2E_PROGRAM), {});
    if (!m_process.waitForStarted(10000))
        fail(QStringLiteral("quorvane did not start: ") + m_process.errorString());
}

QuorvaneApp::~QuorvaneApp()
{
    m_process.terminate();
    if (!m_process.waitForFinished(5000)) {
        m_process.kill();
        m_process.waitForFinished(2000);
    }
}

ProbeState QuorvaneApp::state() const
{
    return ProbeState::read(m_probeFile);
}

void QuorvaneApp::fail(const QString &why) const
{
    const QString output = QString::fromLocal8Bit(m_process.readAll());
    throw std::runtime_error(QStringLiteral("%1\nWindows shown:\n%2\nProgram output:\n%3")
                                 .arg(why, state().dump(), output.right(4000))
                                 .toStdString());
}

ProbeState QuorvaneApp::waitFor(const QString &what, const std::function<bool(const ProbeState &)> &condition,
                                int timeoutMs)
{
    ProbeState seen;
    QString trouble;
    const bool met = WaitUntil(
        [&] {
            // The probe writes ten times a second: no need to read much more often than that.
            QThread::msleep(20);
            seen = state();
            if (condition(seen))
                return true;
            if (m_process.state() != QProcess::Running)
                trouble = QStringLiteral("the program ended (exit code %1)").arg(m_process.exitCode());
            else if (const auto box = seen.messageBox())
                trouble = QStringLiteral("unexpected message box \"%1\"").arg(*box);
            return !trouble.isEmpty();
        },
        timeoutMs);
    if (!met)
        fail(QStringLiteral("Timed out after %1 s waiting for: %2").arg(timeoutMs / 1000).arg(what));
    if (!trouble.isEmpty())
        fail(QStringLiteral("While waiting for %1: %2").arg(what, trouble));
    return seen;
}

QJsonObject QuorvaneApp::waitForWidget(const QString &name)
{
    return *waitFor(name + QStringLiteral(" on screen"),
                    [&](const ProbeState &s) { return s.widget(name).has_value(); })
                .widget(name);
}

void QuorvaneApp::click(const QString &name)
{
    const QJsonObject widget = waitForWidget(name);
    const QRect rect = ProbeState::rect(widget);
    // A check box reacts on its box and caption only, and the box is at its left end.
    const bool checkBox = widget.value(QStringLiteral("class")).toString() == QLatin1String("QCheckBox");
    m_x.click(checkBox ? QPoint(rect.left() + 8, rect.center().y()) : rect.center());
}

void QuorvaneApp::answerMessageBox(const QString &text, int timeoutMs)
{
    const ProbeState shown = waitFor(QStringLiteral("the message box \"%1\"").arg(text),
                                     [](const ProbeState &s) { return s.messageBox().has_value(); }, timeoutMs);
    const QJsonObject box = *shown.window(QStringLiteral("QMessageBox"));
    if (box.value(QStringLiteral("text")).toString() != text)
        fail(QStringLiteral("Expected the message box \"%1\", got \"%2\"").arg(text, *shown.messageBox()));
    // The keyboard follows the pointer when no window manager hands out the focus.
    m_x.moveTo(ProbeState::centre(box));
    m_x.key(QStringLiteral("Return"));
    const bool gone = WaitUntil([&] { return !state().messageBox().has_value(); }, 20000);
    if (!gone)
        fail(QStringLiteral("The message box \"%1\" did not close on Return").arg(text));
}

QString QuorvaneApp::settingsFile() const
{
    return m_home + QStringLiteral("/config/Kestrelby.conf");
}

QString QuorvaneApp::errorLogFile() const
{
    return m_home + QStringLiteral("/temp/errorlog.txt");
}

QString QuorvaneApp::documentsDir() const
{
    return m_home + QStringLiteral("/Documents");
}

QString QuorvaneApp::openedFile() const
{
    QFile file(m_home + QStringLiteral("/opened.txt"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}
