#pragma once

#include "imap/imapresponse.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

// Takes the mailbox name of an untagged answer into `names` when it is a LIST; other answers leave
// it alone. False: a LIST answer that is not well formed.
bool ReadListResponse(const ImapResponse &response, QList<QByteArray> &names);

// The names a LIST gave, as the user sees them, and how to send each one back.
class ListedNames {
public:
    ListedNames() = default;
    explicit ListedNames(const QList<QByteArray> &listed);

    QStringList shown() const { return m_shown; }
    // The bytes the server listed for a shown name; other names are encoded anew.
    QByteArray toSend(const QString &shown) const;

private:
    QStringList m_shown;
    QHash<QString, QByteArray> m_listed; // only the names shown otherwise than they are encoded
};
