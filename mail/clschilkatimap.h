#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>
#include <optional>

#include "imap/imapclient.h"
#include "mail/errorlog.h"

// The mail session: the only code that drives the IMAP component. It shows its two fixed
// failure messages through the message seam and reports everything else by events and results.
// Held by std::shared_ptr; the component belongs to the main window.
class clsChilkatIMAP : public QObject {
    Q_OBJECT
public:
    clsChilkatIMAP();
    ~clsChilkatIMAP() override;

    bool AbortProcess = false;

    qint32 MaxRecord() const { return m_maxRecord; }
    void setMaxRecord(qint32 value) { m_maxRecord = value; }
    qint32 CurrentLocation() const { return m_currentLocation; }
    void setCurrentLocation(qint32 value) { m_currentLocation = value; }
    ImapClient *ChilkatIMAPObject() const { return m_component; }
    void setChilkatIMAPObject(ImapClient *component) { m_component = component; }
    qint32 PORT() const { return m_port; }
    void setPORT(qint32 value) { m_port = value; }
    bool SSL() const { return m_ssl; }
    void setSSL(bool value) { m_ssl = value; }
    QString IMAPServer() const { return m_imapServer; }
    void setIMAPServer(const QString &value) { m_imapServer = value; }
    QString Password() const { return m_password; }
    void setPassword(const QString &value) { m_password = value; }
    QString Username() const { return m_username; }
    void setUsername(const QString &value) { m_username = value; }

    // Shows "Invalid login. Please double-check your username and password.\r\n\r\n", followed by
    // the reason when the server itself did not refuse, and writes both to the error log.
    void GetLastError();
    bool Connect();
    qint32 GetTotalMessage(const QString &FolderName);
    void StartMailExtraction(const QString &FolderName);
    // Folder names in the server's order; nullopt when the listing failed.
    std::optional<QStringList> EnumMailFolders();

    // How the last StartMailExtraction went: whether it got as far as reading (signed in, folder
    // selected), how many numbers its range held, and how many of them could not be read.
    struct ExtractionTally {
        bool reading = false;
        qint64 asked = 0;
        qint64 unread = 0;
    };
    const ExtractionTally &extractionTally() const { return m_tally; }

Q_SIGNALS:
    void MailExtractListing(QString &From, QString &FromName, QString &FromAddress, QString &Subject,
                            QString &ReceivedDate, QString &PlainTextBody, QString &HTMLTextBody, qint32 &uID);
    void ScrapProgress(qint32 &percent);

private:
    void attach(); // ChilkatImap1 := ChilkatIMAPObject, so the component's events reach this session
    ImapClient &component() const; // throws when there is none
    void ChilkatImap1_AbortCheck(bool &abort);
    void ChilkatImap1_PercentDone(int percent);
    // A call given up because of Stop, or because another call took the component over (a
    // disconnect, a newer run), is no failure to report.
    bool givenUp() const;
    void reportFailure(); // GetLastError unless givenUp()
    void WriteErrorLog(bool fetched);

    qint32 m_maxRecord = 0;
    qint32 m_currentLocation = 0;
    QPointer<ImapClient> m_component;
    QPointer<ImapClient> ChilkatImap1;
    QMetaObject::Connection m_abortConnection;
    QMetaObject::Connection m_percentConnection;
    qint32 m_port = 0;
    bool m_ssl = false;
    QString m_imapServer;
    QString m_password;
    QString m_username;
    int m_status = 0;
    ExtractionTally m_tally;
    RunErrorLog m_runLog;
};
