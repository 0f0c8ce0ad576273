#pragma once

#include <QFile>
#include <QString>
#include <sys/stat.h>

// The permission bits of what is at the path itself (a symlink is not followed); -1 when nothing.
inline int FileMode(const QString &path)
{
    struct stat info;
    return lstat(QFile::encodeName(path).constData(), &info) == 0 ? int(info.st_mode & 07777) : -1;
}

// Sets the umask for the life of the guard.
class UmaskGuard {
public:
    explicit UmaskGuard(mode_t mask) : m_saved(umask(mask)) {}
    ~UmaskGuard() { umask(m_saved); }
    UmaskGuard(const UmaskGuard &) = delete;
    UmaskGuard &operator=(const UmaskGuard &) = delete;

private:
    mode_t m_saved;
};
