#pragma once

#include <QString>
#include <QStringList>

// The mailboxes a LIST answered, in the server's order, names decoded from modified UTF-7.
class MailboxList {
public:
    explicit MailboxList(QStringList names = {});
    int count() const;
    QString name(int index) const; // empty text for an index out of range
private:
    QStringList m_names;
};
