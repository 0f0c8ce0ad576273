#pragma once

#include "support/startup.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>

// A file beside the test executable (where the program looks for its pointer and skin files),
// removed again with its folder when the guard ends. The folder must not exist beforehand.
class ProgramFile {
public:
    // relativePath such as "HAND-M.CUR" or "x/o.qss".
    explicit ProgramFile(const QString &relativePath)
        : m_path(ProgramFolder() + u'/' + relativePath), m_top(ProgramFolder() + u'/' + relativePath.section(u'/', 0, 0))
    {
        m_ownsTop = !QFileInfo::exists(m_top);
        QDir().mkpath(QFileInfo(m_path).absolutePath());
    }
    ~ProgramFile()
    {
        if (!m_ownsTop)
            return;
        if (QFileInfo(m_top).isDir())
            QDir(m_top).removeRecursively();
        else
            QFile::remove(m_top);
    }
    ProgramFile(const ProgramFile &) = delete;
    ProgramFile &operator=(const ProgramFile &) = delete;

    // False when something of that name was there before the guard: the test must not touch it.
    bool isOurs() const { return m_ownsTop; }
    bool write(const QByteArray &bytes) const
    {
        QFile::remove(m_path);
        QDir(m_path).removeRecursively();
        QFile file(m_path);
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
    }
    // A folder by the file's name.
    bool makeFolder() const
    {
        QFile::remove(m_path);
        return QDir().mkpath(m_path);
    }
    QString path() const { return m_path; }

private:
    QString m_path;
    QString m_top;
    bool m_ownsTop = false;
};
