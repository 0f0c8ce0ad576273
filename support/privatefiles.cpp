#include "support/privatefiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#else
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#ifdef Q_OS_WIN

bool MakePrivateFolder(const QString &path)
{
    return QDir().mkpath(path);
}

QString PerUserStateFolder(const QString &)
{
    return QDir::toNativeSeparators(QDir::tempPath());
}

bool IsPrivateFolder(const QString &path)
{
    return QFileInfo(path).isDir();
}

bool MakePrivateFile(const QString &)
{
    return true; // the registry and the user's profile folders are the user's alone
}

bool OpenPrivateAppend(QFile &file, const QString &path)
{
    file.setFileName(path);
    return file.open(QIODevice::Append | QIODevice::Unbuffered);
}

bool RenameWithoutReplacing(const QString &from, const QString &to)
{
    // Without MOVEFILE_REPLACE_EXISTING the move fails when the name is taken.
    return MoveFileExW(reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(from).utf16()),
                       reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(to).utf16()), 0);
}

#else

namespace {
QByteArray native(const QString &path)
{
    return QFile::encodeName(path);
}
} // namespace

bool MakePrivateFolder(const QString &path)
{
    const QString absolute = QDir::cleanPath(QDir(path).absolutePath());
    if (QFileInfo(absolute).isDir())
        return true;
    const QString parent = QFileInfo(absolute).path();
    if (parent == absolute || !MakePrivateFolder(parent))
        return false;
    const QByteArray name = native(absolute);
    if (mkdir(name.constData(), 0700) != 0)
        return errno == EEXIST && QFileInfo(absolute).isDir();
    // The umask can only have taken bits away; this sets exactly the owner's.
    return chmod(name.constData(), 0700) == 0;
}

QString PerUserStateFolder(const QString &application)
{
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QLatin1Char('/') + application;
}

bool IsPrivateFolder(const QString &path)
{
    struct stat info;
    return stat(native(path).constData(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == geteuid()
        && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

bool MakePrivateFile(const QString &path)
{
    if (!MakePrivateFolder(QFileInfo(path).absolutePath()))
        return false;
    // Read-only and non-blocking: a FIFO at the name does not hang us.
    const int fd = open(native(path).constData(), O_RDONLY | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    struct stat info;
    const bool made = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && fchmod(fd, 0600) == 0;
    close(fd);
    return made;
}

bool OpenPrivateAppend(QFile &file, const QString &path)
{
    const int fd =
        open(native(path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    // fchmod succeeds on our own files only; a device or a FIFO is no log.
    struct stat info;
    if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || fchmod(fd, 0600) != 0
        || !file.open(fd, QIODevice::Append | QIODevice::Unbuffered, QFileDevice::AutoCloseHandle)) {
        close(fd);
        return false;
    }
    return true;
}

bool RenameWithoutReplacing(const QString &from, const QString &to)
{
    const QByteArray source = native(from);
    const QByteArray target = native(to);
#ifdef RENAME_NOREPLACE
    if (renameat2(AT_FDCWD, source.constData(), AT_FDCWD, target.constData(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
#endif
    // Where the flag is unknown: a hard link is never made over an existing name.
    if (link(source.constData(), target.constData()) != 0)
        return false;
    unlink(source.constData());
    return true;
}

#endif
