#pragma once

#include <QByteArray>
#include <QString>
#include <QVector>
#include <array>
#include <memory>

class QTemporaryFile;

// The seven texts kept for one row of the results list.
struct MailRecord {
    QString From;
    QString FromName;
    QString FromAddress;
    QString Subject;
    QString ReceivedDate;
    QString PlainTextBody;
    QString HTMLTextBody;

    bool operator==(const MailRecord &) const = default;
};

// The main window's records, indexed from 1 like the rows: records 1 .. the run's MaxRecord,
// empty until stored. Only stored records take room, whatever a server announced. Their texts
// go as UTF-8 to a file that only this user can read, without a name where the system allows
// (gone with the store or the process): a big folder's bodies would not fit in memory. A record
// the file cannot take (a full disk) is kept in memory instead.
class MailStore {
public:
    MailStore();
    ~MailStore();

    void recreate(qint32 maxRecord); // empty records 1..maxRecord (none when maxRecord < 1)
    qint32 size() const;
    // These throw AppError "Subscript out of range" for an index outside 1..size().
    MailRecord record(qint32 index) const;
    QString plainTextBody(qint32 index) const; // reads only that text: what the export needs
    void setRecord(qint32 index, const MailRecord &record);

private:
    static constexpr int TextCount = 7;
    struct Slot {
        qint64 offset = -1;                   // where the texts start in the file; -1: in `held`
        std::array<qint64, TextCount> ends{}; // where each text ends, counted from the start
        QByteArray held;
    };

    const Slot *slot(qint32 index) const; // nullptr: a record never stored
    QByteArray bytes(const Slot &slot, int first, int last) const;
    bool spill(Slot &slot, const MailRecord &record);
    bool openFile();

    qint32 m_size = 0;
    QVector<Slot> m_slots;
    std::unique_ptr<QTemporaryFile> m_file;
    qint64 m_fileEnd = 0;
    QByteArray m_piece; // one piece of a text as UTF-8, on its way to the file
};
