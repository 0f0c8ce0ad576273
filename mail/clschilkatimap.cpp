#include "mail/clschilkatimap.h"

#include "imap/imapclient.h"
#include "mail/errorlog.h"
#include "mail/failurereason.h"
#include "support/apperror.h"
#include "support/datetext.h"
#include "support/doevents.h"
#include "support/messageseam.h"

clsChilkatIMAP::clsChilkatIMAP() = default;

clsChilkatIMAP::~clsChilkatIMAP()
{
    QObject::disconnect(m_abortConnection);
    QObject::disconnect(m_percentConnection);
}

void clsChilkatIMAP::attach()
{
    if (ChilkatImap1 == m_component)
        return;
    QObject::disconnect(m_abortConnection);
    QObject::disconnect(m_percentConnection);
    ChilkatImap1 = m_component;
    if (!ChilkatImap1)
        return;
    m_abortConnection = QObject::connect(ChilkatImap1, &ImapClient::abortCheck, this,
                                         [this](bool &abort) { ChilkatImap1_AbortCheck(abort); });
    m_percentConnection = QObject::connect(ChilkatImap1, &ImapClient::percentDone, this,
                                           [this](int percent) { ChilkatImap1_PercentDone(percent); });
}

ImapClient &clsChilkatIMAP::component() const
{
    if (!ChilkatImap1)
        throw AppError(QStringLiteral("Object variable or With block variable not set"));
    return *ChilkatImap1;
}

void clsChilkatIMAP::GetLastError()
{
    const QString reason = ChilkatImap1 ? FailureReason(ChilkatImap1->lastFailure(), m_imapServer, m_port) : QString();
    const QString details = ChilkatImap1 ? ChilkatImap1->lastErrorText() : QString();
    AppendErrorLog(reason.isEmpty() ? details : details + QStringLiteral("\r\n") + reason);
    MsgBox(QStringLiteral("Invalid login. Please double-check your username and password.\r\n\r\n") + reason);
}

bool clsChilkatIMAP::givenUp() const
{
    return AbortProcess || (ChilkatImap1 && ChilkatImap1->lastFailure() == ImapFailure::Aborted);
}

void clsChilkatIMAP::reportFailure()
{
    if (!givenUp())
        GetLastError();
}

bool clsChilkatIMAP::Connect()
{
    attach();
    component().setSsl(m_ssl);
    component().setPort(m_port);
    m_status = component().connect(m_imapServer);
    if (m_status == 1) {
        const QString response = component().sendRawCommand(QStringLiteral("ID (\"GUID\" \"1\")"));
        if (!response.isEmpty()) {
            m_status = component().login(m_username, m_password);
            if (m_status == 1)
                return true;
        }
    }
    reportFailure();
    return false;
}

qint32 clsChilkatIMAP::GetTotalMessage(const QString &FolderName)
{
    attach();
    m_status = component().selectMailbox(FolderName);
    if (m_status == 1)
        return component().messageCount();
    reportFailure();
    return 0;
}

void clsChilkatIMAP::StartMailExtraction(const QString &FolderName)
{
    m_tally = {};
    if (!Connect()) {
        if (!givenUp())
            MsgBox(QStringLiteral("Connection failed. Check username and password."));
        return;
    }
    attach();
    m_status = component().selectMailbox(FolderName);
    if (m_status != 1) {
        reportFailure();
        return;
    }

    const qint32 first = m_currentLocation;
    const qint32 last = m_maxRecord;
    m_tally = {true, qMax<qint64>(0, qint64(last) - first + 1), 0};
    m_runLog = {};
    component().expectSequentialFetches(first, last);
    // 64-bit counter: a range ending at the largest 32-bit number must still end.
    for (qint64 i = first; i <= last; ++i) {
        DoEvents();
        m_currentLocation = qint32(i);
        const std::unique_ptr<Email> email = component().fetchSingle(qint32(i), false);
        WriteErrorLog(email != nullptr);
        if (!email) {
            // A fetch given up because of Stop: trying every remaining number would only
            // contact the server again and again after the user asked to stop.
            if (AbortProcess)
                break;
            ++m_tally.unread;
            // The component could not take the run up on a new connection: the rest is lost too.
            if (!component().inSequentialRun()) {
                m_tally.unread += last - i;
                break;
            }
            continue;
        }
        if (AbortProcess)
            break;

        QString From = email->From;
        QString FromName = email->FromName;
        QString FromAddress = email->FromAddress;
        QString Subject = email->Subject;
        QString ReceivedDate = email->Date.isValid() ? DateToText(email->Date) : QString();
        QString PlainTextBody = email->PlainTextBody;
        QString HTMLTextBody = email->HTMLTextBody;
        qint32 uID = qint32(i);
        Q_EMIT MailExtractListing(From, FromName, FromAddress, Subject, ReceivedDate, PlainTextBody, HTMLTextBody,
                                  uID);
        DoEvents();
    }
    m_runLog.end();
}

std::optional<QStringList> clsChilkatIMAP::EnumMailFolders()
{
    attach();
    const std::unique_ptr<MailboxList> mailboxes = component().listMailboxes(QString(), QStringLiteral("*"));
    if (!mailboxes) {
        reportFailure();
        return std::nullopt;
    }
    QStringList names;
    const int count = mailboxes->count();
    for (int index = 0; index < count; ++index) {
        names.append(mailboxes->name(index));
        DoEvents();
    }
    return names;
}

void clsChilkatIMAP::ChilkatImap1_AbortCheck(bool &abort)
{
    abort = AbortProcess;
    DoEvents();
}

void clsChilkatIMAP::ChilkatImap1_PercentDone(int percent)
{
    qint32 value = percent;
    Q_EMIT ScrapProgress(value);
    DoEvents();
}

void clsChilkatIMAP::WriteErrorLog(bool fetched)
{
    m_runLog.fetched(fetched, ChilkatImap1 ? ChilkatImap1->lastErrorText() : QString());
}
