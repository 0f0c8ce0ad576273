#include "export/exportcommand.h"
#include "export/spreadsheettarget.h"
#include "support/pointer.h"
#include "tests/common/exportharness.h"
#include "tests/common/printers.h"
#include "tests/common/recordingtarget.h"
#include "tests/common/scriptedmessages.h"

#include <QTimer>
#include <gtest/gtest.h>

namespace {

class ExportOrder : public ::testing::Test {
protected:
    ExportOrder()
    {
        recording.window = &lists.window;
        messages.onMessage = [this](const QString &text) { recording.log << QStringLiteral("message ") + text; };
    }
    void run() { ExportCommand(&lists.window, lists.list, lists.store, target).PushButton4_Click(); }
    QStringList cellsOfRow(int sheetRow) const
    {
        return recording.log.filter(QStringLiteral("cell %1,").arg(sheetRow));
    }

    ScriptedMessages messages;
    ListFixture lists;
    Recording recording;
    RecordingTarget target{recording};
};

const QString Location = QStringLiteral("in Quorvane2021/08/31.Form1.PushButton4_Click ");

TEST_F(ExportOrder, RunsEveryStepInOrderWithTheBusyPointer)
{
    lists.addPlainRow(false);
    lists.addRow({QStringLiteral("f"), QStringLiteral("n="), QStringLiteral("a"), QStringLiteral("=s"),
                  QStringLiteral("d"), QStringLiteral("44440")},
                 QString(1024, u'b'), true);
    // A queued event runs at the first yield, before the first cell.
    QTimer::singleShot(0, [this] { recording.log << QStringLiteral("yield"); });
    run();
    const QStringList expected = {
        QStringLiteral("detect"), QStringLiteral("create application"), QStringLiteral("add workbook"),
        QStringLiteral("yield"), QStringLiteral("cell 1,1 From"), QStringLiteral("cell 1,2 From Name"),
        QStringLiteral("cell 1,3 From Address"), QStringLiteral("cell 1,4 Subject"),
        QStringLiteral("cell 1,5 Received Dat"), QStringLiteral("cell 1,6 RecDate"), QStringLiteral("cell 3,1 f"),
        QStringLiteral("cell 3,2 n"), QStringLiteral("cell 3,3 a"), QStringLiteral("cell 3,4 s"),
        QStringLiteral("cell 3,5 d"), QStringLiteral("cell 3,6 ") + QString(12, u'b'),
        QStringLiteral("cell 3,7 bb"), QStringLiteral("autofit"), QStringLiteral("visible"),
        QStringLiteral("message Done."), QStringLiteral("release workbook"), QStringLiteral("release application")};
    EXPECT_EQ(recording.log, expected);
    EXPECT_FALSE(recording.busyAtCall.contains(false));
    EXPECT_EQ(Pointer(&lists.window), PointerShape::Default);
    EXPECT_TRUE(messages.errorReports().isEmpty());
}

TEST_F(ExportOrder, AFailedCellIsReportedOnceAndTheExportGoesOn)
{
    lists.addPlainRow(true);
    lists.addPlainRow(true);
    recording.failAt = {2, 4};
    run();
    ASSERT_EQ(messages.errorReports().size(), 1);
    EXPECT_TRUE(messages.errorReports()[0].startsWith(QStringLiteral("Automation error\r\n") + Location));
    EXPECT_EQ(cellsOfRow(2).size(), 5); // 1, 2, 3, 5 and the body
    EXPECT_FALSE(recording.log.contains(QStringLiteral("cell 2,4 subject 1")));
    EXPECT_EQ(cellsOfRow(3).size(), 6);
    EXPECT_TRUE(recording.log.contains(QStringLiteral("message Done.")));
}

TEST_F(ExportOrder, ABodyWiderThanTheSheetStopsAtItsLastColumnWithOneReport)
{
    recording.maxColumn = 8;
    lists.addPlainRow(true, QString(5000, u'w'));
    lists.addPlainRow(true, QString(3000, u'v'));
    run();
    ASSERT_EQ(messages.errorReports().size(), 1);
    EXPECT_TRUE(messages.errorReports()[0].contains(Location));
    EXPECT_TRUE(messages.errorReports()[0].contains(QStringLiteral("list row 1")));
    EXPECT_EQ(cellsOfRow(2).size(), 8); // columns 1..8; the pieces for 9 and 10 are not written
    EXPECT_TRUE(recording.log.contains(QStringLiteral("cell 2,8 ") + QString(12, u'w')));
    EXPECT_EQ(cellsOfRow(3).size(), 8); // the next row still gets its three body columns
    EXPECT_TRUE(recording.log.contains(QStringLiteral("message Done.")));
}

TEST_F(ExportOrder, ChecksChangedDuringTheExportCountForRowsNotYetReached)
{
    for (int i = 0; i < 4; ++i)
        lists.addPlainRow(i == 0 || i == 3);
    recording.onCell = [this](int row, int column) {
        if (row == 2 && column == 1) {
            lists.list.setChecked(3, true);
            lists.list.setChecked(4, false);
        }
    };
    run();
    EXPECT_EQ(cellsOfRow(2).size(), 6);
    EXPECT_TRUE(cellsOfRow(3).isEmpty());
    EXPECT_EQ(cellsOfRow(4).size(), 6);
    EXPECT_TRUE(cellsOfRow(5).isEmpty());
}

TEST_F(ExportOrder, AListEmptiedDuringTheExportStopsItAndSaysSo)
{
    for (int i = 0; i < 5; ++i)
        lists.addPlainRow(true);
    recording.onCell = [this](int row, int column) {
        if (row == 3 && column == 2)
            QTimer::singleShot(0, [this] { lists.list.clear(); });
    };
    run();
    EXPECT_TRUE(messages.errorReports().isEmpty()) << messages.errorReports().join(u'\n').toStdString();
    EXPECT_TRUE(cellsOfRow(4).isEmpty());
    const QStringList shown = recording.log.filter(QStringLiteral("message"));
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].contains(QStringLiteral("no workbook was made"))) << shown[0].toStdString();
    // The workbook begun on the old rows is dropped, never shown.
    EXPECT_FALSE(recording.log.contains(QStringLiteral("visible")));
    EXPECT_EQ(recording.log.last(), QStringLiteral("release application"));
    EXPECT_EQ(Pointer(&lists.window), PointerShape::Default);
}

TEST_F(ExportOrder, NoSpreadsheetMeansTwoMessagesAndNothingElse)
{
    recording.available = false;
    lists.addPlainRow(true);
    run();
    EXPECT_EQ(recording.log,
              (QStringList{QStringLiteral("detect"),
                           QStringLiteral("message Excel is not installed on this computer. You need to have it "
                                          "installed to use this software without error."),
                           QStringLiteral("message Excel is not installed on this computer. You need to have it "
                                          "installed to use this feature.")}));
    EXPECT_TRUE(recording.busyAtCall.isEmpty());
    EXPECT_EQ(Pointer(&lists.window), PointerShape::Default);
}

TEST_F(ExportOrder, AnApplicationThatCannotStartIsOneReportAndNoDone)
{
    recording.failCreate = true;
    lists.addPlainRow(true);
    run();
    EXPECT_EQ(recording.log, (QStringList{QStringLiteral("detect"), QStringLiteral("create application")}));
    ASSERT_EQ(messages.errorReports().size(), 1);
    EXPECT_TRUE(messages.errorReports()[0].contains(Location));
    EXPECT_EQ(Pointer(&lists.window), PointerShape::Default);
}

} // namespace
