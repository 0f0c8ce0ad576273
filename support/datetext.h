#pragma once

#include <QDateTime>
#include <QString>
#include <optional>

// The program's one date-to-text routine and its inverse. Text is the user's short date with
// a four-digit year, a blank and the time with seconds; a time of exactly midnight is left out.
QString DateToText(const QDateTime &value);
// Reads back text made by DateToText (with or without the time part); nullopt when it cannot.
std::optional<QDateTime> TextToDate(const QString &text);
// Days since 30 December 1899, the time of day as the fraction.
double DaySerial(const QDateTime &value);
