#include "imap/internaldate.h"

#include <QRegularExpression>
#include <QTimeZone>

QDateTime ParseInternalDate(const QByteArray &text)
{
    static const QRegularExpression pattern(
        QStringLiteral(R"(^\s*(\d{1,2})-([A-Za-z]{3})-(\d{4}) (\d{2}):(\d{2}):(\d{2}) ([+-])(\d{2})(\d{2})\s*$)"));
    static const QStringList months = {u"jan"_qs, u"feb"_qs, u"mar"_qs, u"apr"_qs, u"may"_qs, u"jun"_qs,
                                       u"jul"_qs, u"aug"_qs, u"sep"_qs, u"oct"_qs, u"nov"_qs, u"dec"_qs};
    const auto m = pattern.match(QString::fromLatin1(text));
    if (!m.hasMatch())
        return {};
    const int month = months.indexOf(m.captured(2).toLower()) + 1;
    const QDate date(m.captured(3).toInt(), month, m.captured(1).toInt());
    const QTime time(m.captured(4).toInt(), m.captured(5).toInt(), m.captured(6).toInt());
    if (month == 0 || !date.isValid() || !time.isValid())
        return {};
    int offset = (m.captured(8).toInt() * 60 + m.captured(9).toInt()) * 60;
    if (m.captured(7) == u"-")
        offset = -offset;
    return QDateTime(date, time, QTimeZone(offset)).toLocalTime();
}
