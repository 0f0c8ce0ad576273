#include "devserver/scratchdir.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <cerrno>
#include <signal.h>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

static void removeLeftovers(const QString &prefix)
{
    QDir temp(QDir::tempPath());
    for (const QString &name : temp.entryList({prefix + QLatin1Char('*')}, QDir::Dirs | QDir::NoDotAndDotDot)) {
        bool ok = false;
        const pid_t pid = name.mid(prefix.size()).section(QLatin1Char('-'), 0, 0).toInt(&ok);
        if (ok && pid > 0 && kill(pid, 0) != 0 && errno == ESRCH)
            QDir(temp.filePath(name)).removeRecursively();
    }
}

QString MakeScratchDir(const QString &kind)
{
    const QString prefix = QStringLiteral("quorvane-%1-").arg(kind);
    removeLeftovers(prefix);
    QTemporaryDir dir(QDir::tempPath() + QLatin1Char('/') + prefix + QString::number(getpid()) + QStringLiteral("-XXXXXX"));
    if (!dir.isValid())
        throw std::runtime_error("cannot create a temporary folder for " + kind.toStdString());
    dir.setAutoRemove(false);
    // Dovecot's unprivileged processes must be able to reach what is inside.
    if (chmod(QFile::encodeName(dir.path()).constData(), 0755) != 0)
        throw std::runtime_error("cannot open up " + dir.path().toStdString());
    return dir.path();
}
