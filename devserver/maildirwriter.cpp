#include "devserver/maildirwriter.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <stdexcept>
#include <unistd.h>

namespace {

// RFC 3501 section 5.1.3: printable ASCII stays, "&" becomes "&-", every other run is
// UTF-16BE in base64 with "," for "/" between "&" and "-".
QString modifiedUtf7(const QString &text)
{
    QString out;
    QByteArray run;
    const auto flush = [&] {
        if (run.isEmpty())
            return;
        out += QLatin1Char('&') + QString::fromLatin1(run.toBase64(QByteArray::OmitTrailingEquals).replace('/', ','))
            + QLatin1Char('-');
        run.clear();
    };
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 0x20 && u <= 0x7e) {
            flush();
            out += u == u'&' ? QStringLiteral("&-") : QString(c);
        } else {
            run.append(char(u >> 8));
            run.append(char(u & 0xff));
        }
    }
    flush();
    return out;
}

bool isInbox(const QString &name)
{
    return name.compare(QLatin1String("INBOX"), Qt::CaseInsensitive) == 0;
}

} // namespace

MaildirWriter::MaildirWriter(const QString &root, uid_t uid, gid_t gid)
    : m_root(root)
    , m_uid(uid)
    , m_gid(gid)
{
    addFolder(QStringLiteral("INBOX"));
}

QString MaildirWriter::mailboxDirName(const QString &name)
{
    if (name.isEmpty() || name.contains(QLatin1Char('.')) || name.startsWith(QLatin1Char('/'))
        || name.endsWith(QLatin1Char('/')) || name.contains(QStringLiteral("//")))
        throw std::runtime_error("unusable test folder name: " + name.toStdString());
    QStringList parts = name.split(QLatin1Char('/'));
    for (QString &part : parts)
        part = modifiedUtf7(part);
    return QLatin1Char('.') + parts.join(QLatin1Char('.'));
}

QString MaildirWriter::folderPath(const QString &name) const
{
    return isInbox(name) ? m_root : m_root + QLatin1Char('/') + mailboxDirName(name);
}

void MaildirWriter::addFolder(const QString &name)
{
    const QString path = folderPath(name);
    makeDir(path);
    for (const char *sub : {"cur", "new", "tmp"})
        makeDir(path + QLatin1Char('/') + QLatin1String(sub));
    if (!isInbox(name)) {
        QFile marker(path + QStringLiteral("/maildirfolder"));
        if (!marker.open(QIODevice::WriteOnly))
            throw std::runtime_error("cannot write " + marker.fileName().toStdString());
        giveToMailUser(marker.fileName());
    }
}

void MaildirWriter::addMessage(const QString &folder, const QByteArray &message)
{
    const QString cur = folderPath(folder) + QStringLiteral("/cur");
    if (!QFileInfo(cur).isDir())
        throw std::runtime_error("test folder not added: " + folder.toStdString());
    // Dovecot numbers new files by the time stamp that starts their name: one second each.
    ++m_count;
    QFile file(cur + QStringLiteral("/%1.M%2P%3.quorvane:2,").arg(1500000000 + m_count).arg(m_count).arg(getpid()));
    if (!file.open(QIODevice::WriteOnly) || file.write(message) != message.size())
        throw std::runtime_error("cannot write " + file.fileName().toStdString());
    file.flush(); // before the time is set, or the buffered write would move it
    // The modification time is the message's INTERNALDATE: the same for every seeded message.
    file.setFileTime(QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5), Qt::UTC), QFileDevice::FileModificationTime);
    file.close();
    giveToMailUser(file.fileName());
}

void MaildirWriter::makeDir(const QString &path) const
{
    if (!QDir().mkpath(path))
        throw std::runtime_error("cannot create " + path.toStdString());
    giveToMailUser(path);
}

void MaildirWriter::giveToMailUser(const QString &path) const
{
    if (geteuid() == 0 && chown(QFile::encodeName(path).constData(), m_uid, m_gid) != 0)
        throw std::runtime_error("cannot give " + path.toStdString() + " to the mail user");
}
