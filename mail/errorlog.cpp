#include "mail/errorlog.h"

#include "support/datetext.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStringEncoder>

QString ErrorLogPath()
{
    const QString temp = qEnvironmentVariable("TEMP");
    if (temp.isEmpty())
        return QDir::toNativeSeparators(QDir::tempPath() + QStringLiteral("/errorlog.txt"));
    return temp + QDir::separator() + QStringLiteral("errorlog.txt");
}

void AppendErrorLog(const QString &text)
{
    // Opened and closed around each entry; a missing folder or a full disk is not reported.
    QFile file(ErrorLogPath());
    if (!file.open(QIODevice::Append | QIODevice::Unbuffered))
        return;
    QStringEncoder encode(QStringEncoder::System);
    file.write(encode(DateToText(QDateTime::currentDateTime()) + QStringLiteral(" : ") + text
                      + QStringLiteral("\r\n")));
    file.write(encode(QString(52, u'*') + QStringLiteral("\r\n")));
    file.close();
}
