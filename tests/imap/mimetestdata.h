#pragma once

#include "imap/mimereader.h"
#include "tests/common/printers.h"

#include <QDateTime>
#include <QFile>
#include <QString>
#include <QTimeZone>
#include <gtest/gtest.h>

// The INTERNALDATE the server would report alongside the message.
inline QDateTime ServerInternalDate()
{
    return QDateTime(QDate(2023, 11, 14), QTime(22, 13, 20), QTimeZone::utc());
}

// The .eml files are kept with LF line ends for reading; IMAP delivers CRLF, so convert.
inline QByteArray MimeFile(const char *name)
{
    QFile file(QStringLiteral(QUORVANE_TEST_DATA_DIR "/mime/") + QString::fromUtf8(name));
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read test message " << name;
        return {};
    }
    return file.readAll().replace("\n", "\r\n");
}

inline Email ReadMimeFile(const char *name)
{
    return ReadEmail(MimeFile(name), ServerInternalDate());
}
