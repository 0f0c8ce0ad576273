#include "support/datetext.h"

namespace {

// Format letters inside single quotes are literal text and must stay untouched.
template <typename Visit>
void forEachFieldRun(const QString &format, Visit visit)
{
    bool quoted = false;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format.at(i);
        if (c == u'\'') {
            quoted = !quoted;
            ++i;
            continue;
        }
        qsizetype end = i + 1;
        if (!quoted && c.isLetter())
            while (end < format.size() && format.at(end) == c)
                ++end;
        if (!quoted)
            visit(c, i, end - i);
        i = end;
    }
}

// Short date with the year always in four digits, so that text reads back to the same century.
QString dateFormat(const QLocale &locale)
{
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    QString result;
    qsizetype copied = 0;
    forEachFieldRun(format, [&](QChar c, qsizetype at, qsizetype length) {
        if (c != u'y')
            return;
        result += format.mid(copied, at - copied) + QStringLiteral("yyyy");
        copied = at + length;
    });
    return result + format.mid(copied);
}

// Short time with seconds: ":ss" goes right after the minutes when the locale shows none.
QString timeFormat(const QLocale &locale)
{
    QString format = locale.timeFormat(QLocale::ShortFormat);
    bool hasSeconds = false;
    qsizetype minutesEnd = -1;
    forEachFieldRun(format, [&](QChar c, qsizetype at, qsizetype length) {
        if (c == u's')
            hasSeconds = true;
        if (c == u'm' && minutesEnd < 0)
            minutesEnd = at + length;
    });
    if (!hasSeconds)
        format.insert(minutesEnd < 0 ? format.size() : minutesEnd, QStringLiteral(":ss"));
    return format;
}

QTime wholeSeconds(const QTime &time)
{
    return QTime(time.hour(), time.minute(), time.second());
}

} // namespace

QString DateToText(const QDateTime &value, const QLocale &locale)
{
    const QString date = locale.toString(value.date(), dateFormat(locale));
    const QTime time = wholeSeconds(value.time());
    if (time == QTime(0, 0))
        return date;
    return date + u' ' + locale.toString(time, timeFormat(locale));
}

std::optional<QDateTime> TextToDate(const QString &text, const QLocale &locale)
{
    const QString trimmed = text.trimmed();
    const QDateTime withTime = locale.toDateTime(trimmed, dateFormat(locale) + u' ' + timeFormat(locale));
    if (withTime.isValid())
        return withTime;
    const QDate dateOnly = locale.toDate(trimmed, dateFormat(locale));
    if (dateOnly.isValid())
        return QDateTime(dateOnly, QTime(0, 0));
    return std::nullopt;
}

QString DateToText(const QDateTime &value)
{
    return DateToText(value, QLocale::system());
}

std::optional<QDateTime> TextToDate(const QString &text)
{
    return TextToDate(text, QLocale::system());
}

double DaySerial(const QDateTime &value)
{
    // Wall-clock fields, not seconds since the epoch: a day with a DST change is still one day.
    const qint64 days = QDate(1899, 12, 30).daysTo(value.date());
    const double fraction = value.time().msecsSinceStartOfDay() / 86400000.0;
    return days < 0 ? double(days) - fraction : double(days) + fraction;
}
