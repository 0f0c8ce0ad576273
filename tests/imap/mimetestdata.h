#pragma once

#include "imap/mimereader.h"

#include <QDateTime>
#include <QFile>
#include <QString>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <ostream>

// Readable failure output for the Qt values compared in the MIME tests.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QDateTime &dateTime, std::ostream *os)
{
    *os << (dateTime.isValid() ? dateTime.toString(Qt::ISODateWithMs).toStdString() : "invalid");
}

// The INTERNALDATE the server would report alongside the message.
inline QDateTime serverInternalDate()
{
    return QDateTime(QDate(2023, 11, 14), QTime(22, 13, 20), QTimeZone::utc());
}

// The .eml files are kept with LF line ends for reading; IMAP delivers CRLF, so convert.
inline QByteArray mimeFile(const char *name)
{
    QFile file(QStringLiteral(QUORVANE_TEST_DATA_DIR "/mime/") + QString::fromUtf8(name));
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read test message " << name;
        return {};
    }
    return file.readAll().replace("\n", "\r\n");
}

inline Email readMimeFile(const char *name)
{
    return ReadEmail(mimeFile(name), serverInternalDate());
}
