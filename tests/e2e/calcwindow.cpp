#include "tests/e2e/calcwindow.h"

#include "tests/e2e/xsession.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QThread>
#include <QUrl>
#include <csignal>
#include <stdexcept>
#include <sys/prctl.h>
#include <unistd.h>

namespace {

// No first-start dialog may cover the sheet.
const QByteArray Profile = R"(<?xml version="1.0" encoding="UTF-8"?>
<oor:items xmlns:oor="http://openoffice.org/2001/registry" xmlns:xs="http://www.w3.org/2001/XMLSchema" xmlns:xsi="http://www.w3.org/2001/XMLSchema-instance">
<item oor:path="/org.openoffice.Office.Common/Misc"><prop oor:name="ShowTipOfTheDay" oor:op="fuse"><value>false</value></prop></item>
<item oor:path="/org.openoffice.Office.Common/Misc"><prop oor:name="FirstRun" oor:op="fuse"><value>false</value></prop></item>
</oor:items>
)";

// Samples the dump's pixels: a drawn sheet has text, lines and icons in many colours.
bool looksDrawn(const QByteArray &dump)
{
    QSet<QByteArray> colours;
    for (qsizetype at = dump.size() / 10; at + 4 <= dump.size() && colours.size() < 16; at += 4 * 1021)
        colours.insert(dump.mid(at, 4));
    return colours.size() >= 16;
}

} // namespace

CalcWindow::CalcWindow(XSession &x, const QString &workbook, const QString &home)
    : m_x(x), m_title(QFileInfo(workbook).fileName() + QStringLiteral(" - LibreOffice Calc"))
{
    const QString profile = home + QStringLiteral("/libreoffice");
    QDir().mkpath(profile + QStringLiteral("/user"));
    QFile settings(profile + QStringLiteral("/user/registrymodifications.xcu"));
    if (!settings.open(QIODevice::WriteOnly) || settings.write(Profile) != Profile.size())
        throw std::runtime_error("cannot write the LibreOffice profile in " + profile.toStdString());
    settings.close();

    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DISPLAY"), x.display());
    environment.insert(QStringLiteral("HOME"), home);
    environment.insert(QStringLiteral("SAL_USE_VCLPLUGIN"), QStringLiteral("gen")); // plain X11
    environment.remove(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"));
    m_process.setProcessEnvironment(environment);
    m_process.setProcessChannelMode(QProcess::MergedChannels);
    // A process group of its own: soffice starts soffice.bin, and both end with this object.
    m_process.setChildProcessModifier([] {
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
    });
    m_process.start(QStringLiteral("/usr/bin/soffice"),
                    {QStringLiteral("--calc"), QStringLiteral("--norestore"), QStringLiteral("--nologo"),
                     QStringLiteral("-env:UserInstallation=") + QUrl::fromLocalFile(profile).toString(), workbook});
    if (!m_process.waitForStarted(10000))
        throw std::runtime_error("LibreOffice did not start (scripts/setup-debian.sh installs libreoffice-calc): "
                                 + m_process.errorString().toStdString());
}

CalcWindow::~CalcWindow()
{
    const pid_t group = pid_t(m_process.processId());
    if (group <= 0)
        return;
    ::kill(-group, SIGTERM);
    if (!m_process.waitForFinished(10000)) {
        ::kill(-group, SIGKILL);
        m_process.waitForFinished(2000);
    }
}

void CalcWindow::fail(const std::string &what)
{
    throw std::runtime_error(what + "; LibreOffice said:\n" + QString::fromLocal8Bit(m_process.readAll()).toStdString());
}

void CalcWindow::waitUntilShown(int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    while (!m_x.windowTitles().contains(m_title)) {
        if (m_process.state() != QProcess::Running || clock.elapsed() > timeoutMs)
            fail("no window \"" + m_title.toStdString() + "\" within " + std::to_string(timeoutMs / 1000) + " s");
        QThread::msleep(250);
    }
    waitForStillScreen(int(timeoutMs - clock.elapsed()));
}

// A window is one flat colour until it is drawn: waits for a drawn screen that stays the same
// for a second.
void CalcWindow::waitForStillScreen(int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    QByteArray last;
    for (int same = 0; same < 2;) {
        QThread::msleep(500);
        const QByteArray now = m_x.screenDump();
        same = now == last && looksDrawn(now) ? same + 1 : 0;
        last = now;
        if (clock.elapsed() > timeoutMs)
            fail("the window \"" + m_title.toStdString() + "\" did not settle");
    }
}

void CalcWindow::goTo(const QString &cell)
{
    // Keys go to the window under the pointer: there is no window manager to give the focus.
    m_x.moveTo(XSession::screen().center());
    m_x.key(QStringLiteral("ctrl+shift+F5")); // the Name Box
    m_x.key(QStringLiteral("ctrl+a"));
    m_x.type(cell);
    m_x.key(QStringLiteral("Return"));
    waitForStillScreen(20000);
}
