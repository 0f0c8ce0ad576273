#include "imap/mailboxlist.h"

MailboxList::MailboxList(QStringList names) : m_names(std::move(names)) {}

int MailboxList::count() const
{
    return int(m_names.size());
}

QString MailboxList::name(int index) const
{
    return m_names.value(index);
}
