#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <ostream>

// How GoogleTest shows the Qt values a failed check compares: the text, not the bytes of every
// QChar. Every test file includes this, so that all of them print alike.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QByteArray &bytes, std::ostream *out)
{
    *out << '"' << bytes.toStdString() << '"';
}

inline void PrintTo(const QDateTime &dateTime, std::ostream *out)
{
    *out << (dateTime.isValid() ? dateTime.toString(Qt::ISODateWithMs).toStdString() : "invalid");
}
