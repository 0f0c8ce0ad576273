#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <optional>

// The program's one date-to-text routine and its inverse. Text is the user's short date with
// a four-digit year, a blank and the time with seconds; a time of exactly midnight is left out.
// The value's own date and time fields are written as they are (no time-zone conversion).
QString DateToText(const QDateTime &value);
// Reads back text made by DateToText (with or without the time part); nullopt when it cannot.
// The result is local time.
std::optional<QDateTime> TextToDate(const QString &text);

// The same with an explicit locale instead of the system's.
QString DateToText(const QDateTime &value, const QLocale &locale);
std::optional<QDateTime> TextToDate(const QString &text, const QLocale &locale);

// Days since 30 December 1899, the time of day as the fraction. Before that day the whole
// part counts backwards while the fraction still adds the time (-1.25 is 29 December, 06:00).
double DaySerial(const QDateTime &value);
