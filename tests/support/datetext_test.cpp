#include "support/datetext.h"

#include "tests/common/printers.h"
#include <QTimeZone>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace {

const QDateTime RecDate(QDate(2021, 8, 31), QTime(15, 45, 12));

// Every day from 1900 to 2100, once at midnight and once at a time that walks through the day.
void expectRoundTrips(const QLocale &locale)
{
    int failures = 0;
    int dayIndex = 0;
    for (QDate day(1900, 1, 1); day <= QDate(2100, 12, 31); day = day.addDays(1), ++dayIndex) {
        const QDateTime midnight(day, QTime(0, 0));
        const QDateTime daytime(day, QTime(0, 0).addSecs((dayIndex * 7919 + 1) % 86400));
        for (const QDateTime &value : {midnight, daytime}) {
            // A local time skipped by a DST change never comes from a clock; an hour that
            // repeats may read back as its other instance, so the wall-clock fields are compared.
            if (!value.isValid())
                continue;
            const QString text = DateToText(value, locale);
            const std::optional<QDateTime> back = TextToDate(text, locale);
            const bool same = back && back->date() == value.date() && back->time() == value.time();
            if (!same && ++failures <= 5)
                ADD_FAILURE() << locale.name().toStdString() << ": " << text.toStdString() << " read back as "
                              << (back ? back->toString(Qt::ISODate).toStdString() : "nothing");
        }
    }
    EXPECT_EQ(failures, 0);
}

} // namespace

TEST(DateText, RoundTripsEveryDayInSeveralLocales)
{
    expectRoundTrips(QLocale::c());
    expectRoundTrips(QLocale(QLocale::German, QLocale::Germany));
    expectRoundTrips(QLocale(QLocale::English, QLocale::UnitedStates));
}

TEST(DateText, SystemLocaleRoundTrips)
{
    for (const QDateTime &value : {RecDate, QDateTime(QDate(1999, 12, 31), QTime(23, 59, 59)),
                                   QDateTime(QDate(2000, 1, 1), QTime(0, 0))})
        EXPECT_EQ(TextToDate(DateToText(value)), value) << DateToText(value).toStdString();
}

TEST(DateText, ShortDateWithFourDigitYearAndTimeWithSeconds)
{
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(DateToText(RecDate, german), QStringLiteral("31.08.2021 15:45:12"));
    EXPECT_EQ(DateToText(QDateTime(QDate(2021, 8, 31), QTime(9, 5, 0)), german),
              QStringLiteral("31.08.2021 09:05:00"));
    EXPECT_EQ(DateToText(RecDate, QLocale::c()), QStringLiteral("31 Aug 2021 15:45:12"));

    const QString american = DateToText(RecDate, QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_THAT(american.toStdString(), testing::StartsWith("8/31/2021 3:45:12"));
    EXPECT_THAT(american.toStdString(), testing::EndsWith("PM"));
}

TEST(DateText, MidnightHasNoTimePart)
{
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(DateToText(QDateTime(QDate(2021, 9, 1), QTime(0, 0)), german), QStringLiteral("01.09.2021"));
    EXPECT_EQ(DateToText(QDateTime(QDate(2021, 9, 1), QTime(0, 0, 1)), german),
              QStringLiteral("01.09.2021 00:00:01"));
    EXPECT_EQ(TextToDate(QStringLiteral("01.09.2021"), german), QDateTime(QDate(2021, 9, 1), QTime(0, 0)));
}

TEST(DateText, UnreadableTextGivesNothing)
{
    const QLocale german(QLocale::German, QLocale::Germany);
    for (const char *text : {"", "   ", "gestern", "31.08.2021 25:00:00", "32.08.2021", "31.08.2021 15:45:12 x"})
        EXPECT_FALSE(TextToDate(QString::fromLatin1(text), german).has_value()) << text;
}

TEST(DateText, DaySerialCountsFrom1899WithTimeAsFraction)
{
    EXPECT_DOUBLE_EQ(DaySerial(RecDate), 44439.0 + 56712.0 / 86400.0);
    EXPECT_NEAR(DaySerial(RecDate), 44439.656, 0.001);
    EXPECT_DOUBLE_EQ(DaySerial(QDateTime(QDate(2021, 8, 31), QTime(9, 5, 0))), 44439.0 + 32700.0 / 86400.0);
    EXPECT_DOUBLE_EQ(DaySerial(QDateTime(QDate(2021, 8, 31), QTime(12, 0))), 44439.5);
    EXPECT_DOUBLE_EQ(DaySerial(QDateTime(QDate(2021, 9, 1), QTime(12, 0))), 44440.5);
    EXPECT_DOUBLE_EQ(DaySerial(QDateTime(QDate(1899, 12, 30), QTime(0, 0))), 0.0);
    EXPECT_DOUBLE_EQ(DaySerial(QDateTime(QDate(1899, 12, 29), QTime(6, 0))), -1.25);
}

TEST(DateText, DaySerialUsesWallClockOnDaylightSavingDays)
{
    const QTimeZone berlin("Europe/Berlin");
    ASSERT_TRUE(berlin.isValid());
    // The spring-forward day is 23 hours long; noon is still half a day.
    EXPECT_DOUBLE_EQ(DaySerial(QDateTime(QDate(2021, 3, 28), QTime(12, 0), berlin)), 44283.5);
    EXPECT_DOUBLE_EQ(DaySerial(QDateTime(QDate(2021, 10, 31), QTime(18, 0), berlin)), 44500.75);
}
