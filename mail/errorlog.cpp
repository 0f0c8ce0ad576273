#include "mail/errorlog.h"

#include "support/datetext.h"
#include "support/privatefiles.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringEncoder>

namespace {

struct LogFolder {
    QString path;
    bool ours; // made by the program when missing
};

LogFolder logFolder()
{
    const QString temp = qEnvironmentVariable("TEMP");
    // A TEMP that does not exist stays chosen: the entry is lost, as a missing folder's is.
    if (!temp.isEmpty() && (!QFileInfo::exists(temp) || IsPrivateFolder(temp)))
        return {temp, false};
    return {PerUserStateFolder(QStringLiteral("Quorvane")), true};
}

QString pathIn(const LogFolder &folder)
{
    return folder.path + QDir::separator() + QStringLiteral("errorlog.txt");
}

} // namespace

QString ErrorLogPath()
{
    return pathIn(logFolder());
}

void AppendErrorLog(const QString &text)
{
    // Opened and closed around each entry; a missing folder or a full disk is not reported.
    const LogFolder folder = logFolder();
    if (folder.ours && !(MakePrivateFolder(folder.path) && IsPrivateFolder(folder.path)))
        return;
    QFile file;
    if (!OpenPrivateAppend(file, pathIn(folder)))
        return;
    QStringEncoder encode(QStringEncoder::System);
    file.write(encode(DateToText(QDateTime::currentDateTime()) + QStringLiteral(" : ") + text
                      + QStringLiteral("\r\n")));
    file.write(encode(QString(52, u'*') + QStringLiteral("\r\n")));
    file.close();
}

void RunErrorLog::fetched(bool ok, const QString &text)
{
    if (ok) {
        writeUnlogged();
        m_failuresInARow = 0;
    } else if (m_failuresInARow == FailuresInARowLogged) {
        ++m_unlogged;
        return;
    } else {
        ++m_failuresInARow;
    }
    AppendErrorLog(text);
    if (m_failuresInARow == FailuresInARowLogged)
        AppendErrorLog(QStringLiteral("%1 fetches in a row have failed. Further failures are counted, and their "
                                      "number is written when a fetch succeeds again or reading ends.")
                           .arg(FailuresInARowLogged));
}

void RunErrorLog::end()
{
    writeUnlogged();
}

void RunErrorLog::writeUnlogged()
{
    if (m_unlogged > 0)
        AppendErrorLog(
            QStringLiteral("%1 more fetches failed in a row and were not logged one by one.").arg(m_unlogged));
    m_unlogged = 0;
}
