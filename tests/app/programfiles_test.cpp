// The files the program reads from its own folder, when they are not what their names say:
// the hand pointer HAND-M.CUR and the skin x/o.qss.
#include "support/pointer.h"
#include "tests/common/form1harness.h"
#include "tests/common/printers.h"
#include "tests/common/programfile.h"
#include "tests/common/scriptedmessages.h"

#include <QApplication>
#include <QBuffer>
#include <QImage>
#include <QAbstractItemView>
#include <QtEndian>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace Form1Harness;

namespace {

const QString BadPointerReport =
    QStringLiteral("Invalid picture\r\nin Quorvane2021/08/31.Form1.Form_Load at line 106\r\r");

// A real cursor: Qt writes an icon, and a cursor differs only in its type and hotspot fields.
QByteArray handCursor()
{
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::darkBlue);
    QBuffer buffer;
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "ico");
    QByteArray bytes = buffer.data();
    qToLittleEndian<quint16>(2, bytes.data() + 2);  // type: cursor
    qToLittleEndian<quint16>(5, bytes.data() + 10); // hotspot x
    qToLittleEndian<quint16>(1, bytes.data() + 12); // hotspot y
    return bytes;
}

class ProgramFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        clearSettings();
        qputenv("QUORVANE_PING_HOST", "127.0.0.1");
    }
    void TearDown() override { qApp->setStyleSheet(QString()); }

    // Started as a first start does, whatever the file did.
    static void expectStarted(const Form1 &form)
    {
        EXPECT_EQ(form.windowTitle(), QStringLiteral("Quorvane"));
        EXPECT_EQ(control<QAbstractItemView>(form, "ListView1")->model()->columnCount(), 6);
        EXPECT_EQ(control<QLabel>(form, "Label1")->text(), QStringLiteral("Total Number Of Emails: 0"));
        EXPECT_EQ(status(form), QStringLiteral("Progress Bar"));
    }

    // The hand a button hover would set.
    static Qt::CursorShape handShape(Form1 &form)
    {
        SetPointer(&form, PointerShape::Hand);
        const Qt::CursorShape shape = form.cursor().shape();
        SetPointer(&form, PointerShape::Default);
        return shape;
    }

    ScriptedMessages boxes;
};

} // namespace

TEST_F(ProgramFiles, ARealCursorBecomesTheHandPointer)
{
    const ProgramFile hand(QStringLiteral("HAND-M.CUR"));
    ASSERT_TRUE(hand.isOurs());
    ASSERT_TRUE(hand.write(handCursor()));
    auto form = loadForm1();
    EXPECT_TRUE(boxes.shown.isEmpty()) << boxes.errorReports().join(u'|').toStdString();
    EXPECT_EQ(handShape(*form), Qt::BitmapCursor);
    EXPECT_EQ(form->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(ProgramFiles, ACursorFileThatIsNoCursorIsReportedOnceAndStartUpGoesOn)
{
    const ProgramFile hand(QStringLiteral("HAND-M.CUR"));
    ASSERT_TRUE(hand.isOurs());
    const QList<QPair<const char *, std::function<bool()>>> cases = {
        {"garbage", [&] { return hand.write(QByteArray("\x00\x00\x02\x00\x01\x00garbage\xff\xfe", 17)); }},
        {"empty", [&] { return hand.write(QByteArray()); }},
        {"a folder", [&] { return hand.makeFolder(); }},
        {"an icon's header only", [&] { return hand.write(handCursor().left(22)); }},
    };
    for (const auto &[name, make] : cases) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(make());
        boxes.clear();
        auto form = loadForm1();
        ASSERT_EQ(boxes.errorReports().size(), 1) << boxes.errorReports().join(u'|').toStdString();
        EXPECT_THAT(boxes.errorReports()[0].toStdString(), testing::StartsWith(BadPointerReport.toStdString()));
        expectStarted(*form);
        EXPECT_EQ(handShape(*form), Qt::ArrowCursor) << "without a cursor the hand is the arrow";

        // The larger view loads the same file: its own report, then it opens.
        boxes.clear();
        click(button(*form, "PushButton8"));
        ASSERT_EQ(boxes.errorReports().size(), 1);
        EXPECT_TRUE(boxes.errorReports()[0].startsWith(
            QStringLiteral("Invalid picture\r\nin Quorvane2021/08/31.Form4.Form_Load at line 102")));
        EXPECT_EQ(boxes.shown.back().kind, ScriptedMessages::Kind::Dialog);
    }
}

TEST_F(ProgramFiles, ASkinFileThatIsNoStyleSheetLeavesTheWindowAsDesigned)
{
    const ProgramFile skin(QStringLiteral("x/o.qss"));
    ASSERT_TRUE(skin.isOurs());
    const QList<QPair<const char *, std::function<bool()>>> cases = {
        {"garbage", [&] { return skin.write(QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\xff\xfe", 18)); }},
        {"a folder", [&] { return skin.makeFolder(); }},
    };
    for (const auto &[name, make] : cases) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(make());
        boxes.clear();
        auto form = loadForm1();
        EXPECT_TRUE(boxes.shown.isEmpty()) << boxes.errorReports().join(u'|').toStdString();
        expectStarted(*form);
        EXPECT_TRUE(qApp->styleSheet().isEmpty());
    }
}

TEST_F(ProgramFiles, AnEmptyOrBrokenStyleSheetIsAppliedAsItIsAndTheWindowStarts)
{
    const ProgramFile skin(QStringLiteral("x/o.qss"));
    ASSERT_TRUE(skin.isOurs());
    for (const QByteArray &sheet : {QByteArray(), QByteArray("QPushButton { color: ; } }}} {{ QLabel {")}) {
        SCOPED_TRACE(sheet.toStdString());
        ASSERT_TRUE(skin.write(sheet));
        boxes.clear();
        auto form = loadForm1();
        EXPECT_TRUE(boxes.shown.isEmpty()) << boxes.errorReports().join(u'|').toStdString();
        expectStarted(*form);
        EXPECT_EQ(qApp->styleSheet(), QString::fromUtf8(sheet));
        qApp->setStyleSheet(QString());
    }
}
