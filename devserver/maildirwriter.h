#pragma once

#include <QByteArray>
#include <QString>
#include <sys/types.h>

// Writes one user's Maildir++ tree before Dovecot has ever opened it: folders in the layout
// of namespace separator "/" (on disk "." and modified UTF-7), messages as files in cur/
// whose names make Dovecot number them in the order they were added. Files are given to
// the mail user when running as root.
class MaildirWriter {
public:
    MaildirWriter(const QString &root, uid_t uid, gid_t gid);

    void addFolder(const QString &name);                              // "INBOX" is the root
    void addMessage(const QString &folder, const QByteArray &message); // folder added before

    static QString mailboxDirName(const QString &name); // "Archive/2021" -> ".Archive.2021"

private:
    QString folderPath(const QString &name) const;
    void makeDir(const QString &path) const;
    void giveToMailUser(const QString &path) const;

    QString m_root;
    uid_t m_uid;
    gid_t m_gid;
    int m_count = 0;
};
