#include "support/apperror.h"
#include "support/vbnumber.h"

#include "tests/common/printers.h"

#include <gtest/gtest.h>

namespace {

QString errorOf(const char *text)
{
    try {
        TextToInt16(QString::fromUtf8(text));
    } catch (const AppError &error) {
        return error.description();
    }
    return QString();
}

} // namespace

TEST(VbNumber, RoundsHalvesToEven)
{
    EXPECT_EQ(RoundHalfEven(2.5), 2.0);
    EXPECT_EQ(RoundHalfEven(3.5), 4.0);
    EXPECT_EQ(RoundHalfEven(-2.5), -2.0);
    EXPECT_EQ(RoundHalfEven(-3.5), -4.0);
    EXPECT_EQ(RoundHalfEven(0.5), 0.0);
    EXPECT_EQ(RoundHalfEven(2.4999), 2.0);
    EXPECT_EQ(RoundHalfEven(2.5001), 3.0);
    EXPECT_EQ(RoundHalfEven(-0.6), -1.0);
}

TEST(VbNumber, TextToInt16ReadsNumbers)
{
    EXPECT_EQ(TextToInt16(QStringLiteral(" 7 ")), 7);
    EXPECT_EQ(TextToInt16(QStringLiteral("-12")), -12);
    EXPECT_EQ(TextToInt16(QStringLiteral("+12")), 12);
    EXPECT_EQ(TextToInt16(QStringLiteral("2.5")), 2);
    EXPECT_EQ(TextToInt16(QStringLiteral("3.5")), 4);
    EXPECT_EQ(TextToInt16(QStringLiteral("-2.5")), -2);
    EXPECT_EQ(TextToInt16(QStringLiteral(".5")), 0);
    EXPECT_EQ(TextToInt16(QStringLiteral("1e3")), 1000);
    EXPECT_EQ(TextToInt16(QStringLiteral("15E-1")), 2);
    EXPECT_EQ(TextToInt16(QStringLiteral("32767")), 32767);
    EXPECT_EQ(TextToInt16(QStringLiteral("-32768")), -32768);
    EXPECT_EQ(TextToInt16(QStringLiteral("32767.4")), 32767);
    EXPECT_EQ(TextToInt16(QStringLiteral("&H1F")), 31);
    EXPECT_EQ(TextToInt16(QStringLiteral("&HFFFF")), -1);
}

TEST(VbNumber, TextToInt16RejectsNonNumbers)
{
    for (const char *text : {"", "   ", "abc", "7a", "1 2", "--1", "1e", "&H", "&HXYZ", "1,5", "0x10", "e3", "."})
        EXPECT_EQ(errorOf(text), QStringLiteral("Type mismatch")) << '"' << text << '"';
}

TEST(VbNumber, TextToInt16OverflowsOutsideSixteenBits)
{
    for (const char *text : {"32768", "-32769", "32767.5", "1e5", "&H10000", "1e400", "-1e400"})
        EXPECT_EQ(errorOf(text), QStringLiteral("Overflow")) << text;
    EXPECT_EQ(TextToInt16(QStringLiteral("-32768.5")), -32768);
}

TEST(VbNumber, LeadingNumberReadsThePrefix)
{
    EXPECT_EQ(LeadingNumber(QStringLiteral(" 2.5abc")), 2.5);
    EXPECT_EQ(LeadingNumber(QStringLiteral("abc")), 0.0);
    EXPECT_EQ(LeadingNumber(QStringLiteral("")), 0.0);
    EXPECT_EQ(LeadingNumber(QStringLiteral("-3")), -3.0);
    EXPECT_EQ(LeadingNumber(QStringLiteral(".5")), 0.5);
    EXPECT_EQ(LeadingNumber(QStringLiteral("1e2")), 100.0);
    EXPECT_EQ(LeadingNumber(QStringLiteral("1e")), 1.0);
    EXPECT_EQ(LeadingNumber(QStringLiteral("1.2.3")), 1.2);
    EXPECT_EQ(LeadingNumber(QStringLiteral("\t 42 x 7")), 42.0);
    EXPECT_EQ(LeadingNumber(QStringLiteral("1 2 3")), 123.0);
    EXPECT_EQ(LeadingNumber(QStringLiteral("-")), 0.0);
}
