#pragma once

#include <QString>
#include <QVector>

// The seven texts kept for one row of the results list.
struct MailRecord {
    QString From;
    QString FromName;
    QString FromAddress;
    QString Subject;
    QString ReceivedDate;
    QString PlainTextBody;
    QString HTMLTextBody;
};

// The main window's records, indexed from 1 like the rows; exactly as many as the run's MaxRecord.
class MailStore {
public:
    void recreate(qint32 maxRecord); // empty records 1..maxRecord (none when maxRecord < 1)
    qint32 size() const;
    MailRecord &at(qint32 index);             // throws AppError "Subscript out of range"
    const MailRecord &at(qint32 index) const; // likewise
private:
    QVector<MailRecord> m_records;
};
