#include "results/mailstore.h"

#include "support/apperror.h"

void MailStore::recreate(qint32 maxRecord)
{
    m_records = QVector<MailRecord>(qMax(maxRecord, 0));
}

qint32 MailStore::size() const
{
    return qint32(m_records.size());
}

MailRecord &MailStore::at(qint32 index)
{
    if (index < 1 || index > size())
        throw AppError(QStringLiteral("Subscript out of range"));
    return m_records[index - 1];
}

const MailRecord &MailStore::at(qint32 index) const
{
    if (index < 1 || index > size())
        throw AppError(QStringLiteral("Subscript out of range"));
    return m_records[index - 1];
}
