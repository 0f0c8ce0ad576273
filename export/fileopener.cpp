#include "export/fileopener.h"

#include "support/doevents.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QElapsedTimer>
#include <QProcess>
#include <QUrl>

namespace {

#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
// Some desktops' xdg-open runs the spreadsheet in the foreground: one still running after this
// long has started it on the file.
constexpr int StartedAfterMs = 3000;
constexpr int PollMs = 50; // the longest the window waits between two yields

QString xdgOpenFailure(int exitCode)
{
    switch (exitCode) {
    case 2:
        return QStringLiteral("the file was not found (xdg-open exit code 2)");
    case 3:
        return QStringLiteral("no program is set to open this kind of file (xdg-open exit code 3)");
    case 4:
        return QStringLiteral("the program set to open it failed (xdg-open exit code 4)");
    default:
        return QStringLiteral("xdg-open exit code %1").arg(exitCode);
    }
}

// The desktop's own handler, asked through xdg-open, whose exit code tells whether it worked.
class DesktopFileOpener : public FileOpener {
public:
    bool open(const QString &path, QString &failure) override
    {
        // Left running, it belongs to the application until it ends.
        auto *opener = new QProcess(QCoreApplication::instance());
        opener->setStandardOutputFile(QProcess::nullDevice());
        opener->setStandardErrorFile(QProcess::nullDevice());
        opener->start(QStringLiteral("xdg-open"), {path});
        if (!opener->waitForStarted()) {
            failure = QStringLiteral("xdg-open could not be started (%1)").arg(opener->errorString());
            delete opener;
            return false;
        }
        QElapsedTimer clock;
        clock.start();
        while (!opener->waitForFinished(PollMs) && opener->state() != QProcess::NotRunning) {
            if (clock.elapsed() >= StartedAfterMs) {
                QObject::connect(opener, &QProcess::finished, opener, &QObject::deleteLater);
                return true;
            }
            DoEvents();
        }
        const bool opened = opener->exitStatus() == QProcess::NormalExit && opener->exitCode() == 0;
        if (!opened)
            failure = opener->exitStatus() == QProcess::NormalExit ? xdgOpenFailure(opener->exitCode())
                                                                    : QStringLiteral("xdg-open stopped unexpectedly");
        delete opener;
        return opened;
    }
};
#else
// Elsewhere the desktop's service reports whether a program was started.
class DesktopFileOpener : public FileOpener {
public:
    bool open(const QString &path, QString &failure) override
    {
        if (QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
            return true;
        failure = QStringLiteral("the desktop could not open it");
        return false;
    }
};
#endif

DesktopFileOpener desktopOpener;
FileOpener *installedOpener = nullptr;

} // namespace

FileOpener &FileOpener::current()
{
    return installedOpener ? *installedOpener : desktopOpener;
}

void FileOpener::install(FileOpener *opener)
{
    installedOpener = opener;
}
