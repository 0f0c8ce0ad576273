#include "support/errortrap.h"

#include "support/apperror.h"
#include "tests/common/printers.h"
#include "tests/common/scriptedmessages.h"

#include <gtest/gtest.h>
#include <stdexcept>

TEST(ErrorTrap, ReportTextHasDescriptionLocationLineAndSupportAddress)
{
    EXPECT_EQ(ErrorReportText(QStringLiteral("Overflow"), QStringLiteral("Form1"), QStringLiteral("Form_Load"), 104),
              QStringLiteral("Overflow\r\nin Quorvane2021/08/31.Form1.Form_Load at line 104\r\r"
                             "Please email screenshot of this message to ")
                  + QLatin1String(SupportAddress));
}

TEST(ErrorTrap, FailingStepIsReportedWithItsNumberAndTheCommandGoesOn)
{
    ScriptedMessages boxes;
    ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("PushButton1_Click"));
    QStringList ran;

    EXPECT_TRUE(trap(102, [&] { ran << QStringLiteral("102"); }));
    EXPECT_FALSE(trap(104, [&] {
        ran << QStringLiteral("104");
        throw AppError(QStringLiteral("Subscript out of range"));
        ran << QStringLiteral("after throw");
    }));
    EXPECT_FALSE(trap(106, [] { throw std::runtime_error("disk full"); }));
    EXPECT_TRUE(trap(108, [&] { ran << QStringLiteral("108"); }));

    EXPECT_EQ(ran, (QStringList{QStringLiteral("102"), QStringLiteral("104"), QStringLiteral("108")}));
    ASSERT_EQ(boxes.errorReports().size(), 2);
    EXPECT_TRUE(boxes.errorReports()[0].startsWith(
        QStringLiteral("Subscript out of range\r\nin Quorvane2021/08/31.Form1.PushButton1_Click at line 104\r\r")));
    EXPECT_TRUE(boxes.errorReports()[1].startsWith(QStringLiteral("disk full\r\n")));
    EXPECT_TRUE(boxes.errorReports()[1].contains(QStringLiteral(" at line 106\r\r")));
    EXPECT_EQ(boxes.shown[0].caption, QStringLiteral("Application Error"));
}
