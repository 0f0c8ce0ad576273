#include "export/exportcommand.h"
#include "export/xlsxtarget.h"
#include "support/pointer.h"
#include "tests/common/envguard.h"
#include "tests/common/exportharness.h"
#include "tests/common/filemode.h"
#include "tests/common/filesizelimit.h"
#include "tests/common/printers.h"
#include "tests/common/scriptedmessages.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <random>
#include <unistd.h>

namespace {

const QString DetectionMessage = QStringLiteral(
    "Excel is not installed on this computer. You need to have it installed to use this software without error.");
const QString FeatureMessage =
    QStringLiteral("Excel is not installed on this computer. You need to have it installed to use this feature.");
const QString Emoji = QString::fromUtf8("\xF0\x9F\x98\x80");

// An export into a workbook file, with a spreadsheet program "installed" on the PATH.
class XlsxExport : public ::testing::Test {
protected:
    XlsxExport() { home.addProgram(QStringLiteral("localc")); }

    // Runs the export and reads back the one workbook it opened.
    ReadWorkbook exportAndRead()
    {
        const qsizetype before = opener.opened.size();
        ExportCommand(&lists.window, lists.list, lists.store, target).PushButton4_Click();
        if (opener.opened.size() != before + 1)
            return {};
        return ReadXlsx(opener.opened.back());
    }

    // Every cell is a string cell and the table is exactly the expected one.
    static void expectTable(const ReadWorkbook &book, const QMap<CellKey, QString> &expected)
    {
        ASSERT_TRUE(book.ok) << book.error.toStdString();
        const QMap<CellKey, QString> shown = book.shownTexts();
        for (auto cell = expected.begin(); cell != expected.end(); ++cell)
            EXPECT_EQ(shown.value(cell.key()), cell.value()) << "cell " << cell.key().first << "," << cell.key().second;
        for (auto cell = shown.begin(); cell != shown.end(); ++cell)
            EXPECT_TRUE(expected.contains(cell.key())) << "unexpected cell " << cell.key().first << "," << cell.key().second;
        for (auto cell = book.cells.begin(); cell != book.cells.end(); ++cell)
            EXPECT_EQ(cell->type, QStringLiteral("s")) << cell.key().first << "," << cell.key().second;
        EXPECT_EQ(book.formulas, 0) << "the sheet's XML holds formula elements";
    }

    TestHome home;
    ScriptedMessages messages;
    RecordingOpener opener;
    ListFixture lists;
    XlsxTarget target;
};

TEST_F(XlsxExport, NoCheckedRowGivesOnlyTheHeaderInANewDocumentsFile)
{
    for (int i = 0; i < 3; ++i)
        lists.addPlainRow(false);
    expectTable(exportAndRead(), HeaderCells());
    EXPECT_EQ(messages.messages(), QStringList{QStringLiteral("Done.")});
    EXPECT_TRUE(messages.errorReports().isEmpty());
    ASSERT_EQ(opener.opened.size(), 1);
    const QFileInfo file(opener.opened.front());
    EXPECT_EQ(file.absolutePath(), QDir(home.documents()).absolutePath());
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Quorvane export \\d{4}-\\d\\d-\\d\\d \\d\\d-\\d\\d-\\d\\d\\.xlsx$"))
                    .match(file.fileName())
                    .hasMatch())
        << file.fileName().toStdString();
    EXPECT_EQ(home.documentFiles(), QStringList{file.fileName()}); // no temporary left behind
    EXPECT_EQ(Pointer(&lists.window), PointerShape::Default);
}

TEST_F(XlsxExport, CheckedRowsKeepTheirListPositionsAndLoseEqualsSigns)
{
    lists.addPlainRow(false);
    lists.addRow({QStringLiteral("=HYPERLINK(\"x\")"), QStringLiteral("a=b=c"), QStringLiteral("ann@example.com"),
                  QStringLiteral("=SUM(A1)"), QStringLiteral("31/08/2021 15:45:12"), QStringLiteral("44440")},
                 QStringLiteral("=x"), true);
    lists.addPlainRow(false);
    lists.addPlainRow(false);
    lists.addPlainRow(true, QStringLiteral("last body"));

    QMap<CellKey, QString> expected = HeaderCells();
    expected[{3, 1}] = QStringLiteral("=HYPERLINK(\"x\")");
    expected[{3, 2}] = QStringLiteral("abc");
    expected[{3, 3}] = QStringLiteral("ann@example.com");
    expected[{3, 4}] = QStringLiteral("SUM(A1)");
    expected[{3, 5}] = QStringLiteral("31/08/2021 15:45:12");
    expected[{3, 6}] = QStringLiteral("=x");
    expected[{6, 1}] = QStringLiteral("from 5");
    expected[{6, 2}] = QStringLiteral("name 5");
    expected[{6, 3}] = QStringLiteral("address 5");
    expected[{6, 4}] = QStringLiteral("subject 5");
    expected[{6, 5}] = QStringLiteral("date 5");
    expected[{6, 6}] = QStringLiteral("last body");
    expectTable(exportAndRead(), expected);
    // The export leaves the list and the store as they were.
    EXPECT_EQ(lists.list.text(2, 3), QStringLiteral("=SUM(A1)"));
    EXPECT_EQ(lists.store.record(2).PlainTextBody, QStringLiteral("=x"));
    EXPECT_TRUE(lists.list.isChecked(2));
    EXPECT_FALSE(lists.list.isChecked(3));
}

TEST_F(XlsxExport, ASubjectLongerThanTheListShowsGoesWhole)
{
    const QString subject = QStringLiteral("Long ") + QString(5000, u's');
    lists.addRow({QStringLiteral("f"), QStringLiteral("n"), QStringLiteral("a"), subject, QStringLiteral("d"),
                  QStringLiteral("44440")},
                 QStringLiteral("body"), true);
    ASSERT_LT(lists.view->model()->index(0, 3).data().toString().size(), subject.size()) << "the list shows its start";
    const ReadWorkbook book = exportAndRead();
    ASSERT_TRUE(book.ok) << book.error.toStdString();
    EXPECT_EQ(book.cells.value({2, 4}).value, subject);
}

TEST_F(XlsxExport, BodiesFillColumnsFromRecDateOnInPieces)
{
    const QStringList bodies = {QStringLiteral(""),
                                QString(1023, u'b'),
                                QString(1024, u'c'),
                                QString(2045, u'd'),
                                QString(2046, u'e'),
                                QString(1022, u'a') + QStringLiteral("=y"),
                                QString(1021, u'f') + Emoji + QStringLiteral("gg")};
    for (const QString &body : bodies)
        lists.addPlainRow(true, body);

    QMap<CellKey, QString> expected = HeaderCells();
    for (int r = 1; r <= bodies.size(); ++r)
        for (int c = 1; c <= 5; ++c)
            expected[{r + 1, c}] = lists.list.text(r, c - 1);
    // Row 1 has an empty body: its cell 6 is written, empty.
    expected[{2, 6}] = QString();
    expected[{3, 6}] = QString(1023, u'b');
    expected[{4, 6}] = QString(1022, u'c');
    expected[{4, 7}] = QString(2, u'c');
    expected[{5, 6}] = QString(1022, u'd');
    expected[{5, 7}] = QString(1023, u'd');
    expected[{6, 6}] = QString(1022, u'e');
    expected[{6, 7}] = QString(1022, u'e');
    expected[{6, 8}] = QString(2, u'e');
    expected[{7, 6}] = QString(1022, u'a');
    expected[{7, 7}] = QStringLiteral("=y");
    expected[{8, 6}] = QString(1021, u'f');
    expected[{8, 7}] = Emoji + QStringLiteral("gg");
    expectTable(exportAndRead(), expected); // no header over columns 7 and 8
}

TEST_F(XlsxExport, TwoExportsGiveTwoFilesWithTheSameCells)
{
    lists.addPlainRow(true, QString(1500, u'z'));
    lists.addPlainRow(false);
    const ReadWorkbook first = exportAndRead();
    const ReadWorkbook second = exportAndRead();
    ASSERT_TRUE(first.ok && second.ok);
    ASSERT_EQ(opener.opened.size(), 2);
    EXPECT_NE(opener.opened[0], opener.opened[1]);
    EXPECT_TRUE(QFileInfo::exists(opener.opened[0]));
    EXPECT_EQ(first.shownTexts(), second.shownTexts());
    EXPECT_EQ(first.cells.size(), 6 + 7);
    EXPECT_EQ(home.documentFiles().size(), 2);
}

TEST_F(XlsxExport, TextsThatLookLikeFormulasStayStrings)
{
    lists.addRow({QStringLiteral("=1+1"), QStringLiteral("+1"), QStringLiteral("-1"), QStringLiteral("@A1"),
                  QStringLiteral("\tx"), QString()},
                 QStringLiteral("+SUM(A1:A2)"), true);
    lists.addRow({QStringLiteral("@SUM(1)"), {}, {}, {}, {}, {}}, QStringLiteral("-A1"), true);
    lists.addRow({QStringLiteral("''quoted"), {}, {}, {}, {}, {}}, QStringLiteral("'=not marked twice"), true);
    QMap<CellKey, QString> expected = HeaderCells();
    expected.insert(QMap<CellKey, QString>{{{2, 1}, QStringLiteral("=1+1")}, {{2, 2}, QStringLiteral("+1")}, {{2, 3}, QStringLiteral("-1")},
                    {{2, 4}, QStringLiteral("@A1")}, {{2, 5}, QStringLiteral("\tx")},
                    {{2, 6}, QStringLiteral("+SUM(A1:A2)")}, {{3, 1}, QStringLiteral("@SUM(1)")},
                    {{3, 6}, QStringLiteral("-A1")},
                    // A leading apostrophe is the text marker: one goes, the rest is shown.
                    {{4, 1}, QStringLiteral("'quoted")}, {{4, 6}, QStringLiteral("=not marked twice")}});
    const ReadWorkbook book = exportAndRead();
    expectTable(book, expected);
    // A text led by = + - @ carries the quote-prefix mark, so that editing it keeps it text.
    const QList<CellKey> quoted = {{2, 1}, {2, 2}, {2, 3}, {2, 4}, {2, 6}, {3, 1}, {3, 6}, {4, 6}};
    for (auto cell = book.cells.begin(); cell != book.cells.end(); ++cell)
        EXPECT_EQ(cell->quoted, quoted.contains(cell.key())) << cell.key().first << "," << cell.key().second;
}

TEST_F(XlsxExport, HeaderBoldFrozenAndFilteredDataAtTheTopOfRowsOfAFewLines)
{
    lists.addPlainRow(true, QStringLiteral("Line 1\nLine 2\nLine 3\nLine 4\nLine 5\nLine 6\nLine 7\n"));
    lists.addPlainRow(true, QStringLiteral("One line\n"));
    lists.addPlainRow(false);
    lists.addPlainRow(true, QStringLiteral("x\ny\nz"));
    lists.addPlainRow(true, QString(1100, u'w')); // 1022 + 78: a long line wraps in its column
    const ReadWorkbook book = exportAndRead();
    ASSERT_TRUE(book.ok) << book.error.toStdString();
    for (auto cell = book.cells.begin(); cell != book.cells.end(); ++cell) {
        const bool header = cell.key().first == 1;
        EXPECT_EQ(cell->bold, header) << cell.key().first << "," << cell.key().second;
        EXPECT_TRUE(cell->top && cell->wrapped) << cell.key().first << "," << cell.key().second;
    }
    // Rows grow with their lines, five at most; a line end at the text's end adds none.
    EXPECT_EQ(book.heights, (QMap<int, double>{{2, 75}, {5, 45}, {6, 75}}));
    EXPECT_EQ(book.frozen, QStringLiteral("A2"));
    EXPECT_EQ(book.filter, QStringLiteral("A1:G6"));
    EXPECT_GE(book.widths.value(3), QStringLiteral("From Address").size() + 3) << "room for the filter button";
}

TEST_F(XlsxExport, ControlCharactersAreKeptAndWhatTheFormatCannotCarryIsReplaced)
{
    const QString fffd(QChar(0xFFFD));
    lists.addRow({QStringLiteral("bell") + QChar(7), QStringLiteral("nul") + QChar(0) + QStringLiteral("x"),
                  QStringLiteral("_x0041_ stays"), QStringLiteral("tab\tand") + QChar(0x1B), {}, {}},
                 QStringLiteral("line 1\r\nline 2\f") + QChar(0xFFFF), true);
    QMap<CellKey, QString> expected = HeaderCells();
    expected.insert(QMap<CellKey, QString>{{{2, 1}, QStringLiteral("bell") + QChar(7)}, {{2, 2}, QStringLiteral("nul") + fffd + QStringLiteral("x")},
                    {{2, 3}, QStringLiteral("_x0041_ stays")}, {{2, 4}, QStringLiteral("tab\tand") + QChar(0x1B)},
                    {{2, 6}, QStringLiteral("line 1\r\nline 2\f") + fffd}});
    const ReadWorkbook book = exportAndRead();
    expectTable(book, expected);
    // The literal is escaped in the file, so a reader that decodes the escapes gets it back.
    EXPECT_EQ(book.cells.value({2, 3}).value, QStringLiteral("_x005F_x0041_ stays"));
}

TEST_F(XlsxExport, EveryControlCharacterInEveryColumnGivesAReadableWorkbook)
{
    QString controls;
    for (char16_t unit = 0; unit < 0x20; ++unit)
        controls += QChar(unit);
    controls += QChar(0x7F);
    for (char16_t unit = 0x80; unit < 0xA0; ++unit)
        controls += QChar(unit);
    // Lone halves of a surrogate pair and the two non-characters XML forbids.
    controls += QChar(0xD800) + QStringLiteral("x") + QChar(0xDC00) + QChar(0xFFFE) + QChar(0xFFFF);

    QString expectedText;
    for (const QChar c : controls) {
        const bool replaced = c.unicode() == 0 || c.isSurrogate() || c.unicode() >= 0xFFFE;
        expectedText += replaced ? QChar(0xFFFD) : c;
    }
    lists.addRow({controls, controls, controls, controls, controls, QStringLiteral("44440")}, controls, true);

    QMap<CellKey, QString> expected = HeaderCells();
    for (int c = 1; c <= 6; ++c)
        expected[{2, c}] = expectedText;
    expectTable(exportAndRead(), expected);
    EXPECT_TRUE(messages.errorReports().isEmpty()) << messages.errorReports().join(u'|').toStdString();
}

TEST_F(XlsxExport, OverlongCellsAreCutAndReportedOnce)
{
    lists.addRow({QString(40000, u'f'), QString(33000, u'n'), {}, {}, {}, {}}, {}, true);
    lists.addRow({QStringLiteral("short"), {}, {}, {}, {}, {}}, {}, true);
    const ReadWorkbook book = exportAndRead();
    ASSERT_TRUE(book.ok) << book.error.toStdString();
    EXPECT_EQ(book.cells.value({2, 1}).shown, QString(32767, u'f'));
    EXPECT_EQ(book.cells.value({2, 2}).shown, QString(32767, u'n'));
    EXPECT_EQ(book.cells.value({3, 1}).shown, QStringLiteral("short"));
    const QStringList shown = messages.messages();
    ASSERT_EQ(shown.size(), 2);
    EXPECT_THAT(shown[0].toStdString(), testing::HasSubstr("32767"));
    EXPECT_EQ(shown[1], QStringLiteral("Done."));
    EXPECT_TRUE(messages.errorReports().isEmpty());
    // The widest column is held at the format's maximum, the others fit their longest text.
    // libxlsxwriter stores a width with the format's padding of 0.71.
    EXPECT_NEAR(book.widths.value(1), 255, 1);
    EXPECT_GE(book.widths.value(4), QStringLiteral("Subject").size());
    EXPECT_LT(book.widths.value(4), 255);
}

TEST_F(XlsxExport, ColumnsFitTheirLongestLine)
{
    lists.addRow({QStringLiteral("x"), {}, QString(40, u'a'), {}, {}, {}},
                 QString(30, u'b') + QStringLiteral("\n") + QString(60, u'c'), true);
    const ReadWorkbook book = exportAndRead();
    ASSERT_TRUE(book.ok) << book.error.toStdString();
    EXPECT_GE(book.widths.value(3), 40);
    EXPECT_LT(book.widths.value(3), 45);
    EXPECT_GE(book.widths.value(6), 60);
    EXPECT_LT(book.widths.value(6), 65);
    EXPECT_GE(book.widths.value(1), QStringLiteral("From").size());
    EXPECT_LT(book.widths.value(1), 10);
}

TEST_F(XlsxExport, WithoutASpreadsheetProgramBothMessagesAndNoFile)
{
    QFile::remove(QDir(qEnvironmentVariable("PATH")).filePath(QStringLiteral("localc")));
    lists.addPlainRow(true);
    ExportCommand(&lists.window, lists.list, lists.store, target).PushButton4_Click();
    EXPECT_EQ(messages.messages(), (QStringList{DetectionMessage, FeatureMessage}));
    EXPECT_TRUE(messages.errorReports().isEmpty());
    EXPECT_TRUE(opener.opened.isEmpty());
    EXPECT_TRUE(home.documentFiles().isEmpty());
    EXPECT_EQ(Pointer(&lists.window), PointerShape::Default);
}

TEST_F(XlsxExport, AnUnwritableDocumentsFolderGivesAClearMessageAndNoFile)
{
    // Root writes into any folder with mode 555; /sys refuses even root.
    const QString folder = geteuid() == 0 ? QStringLiteral("/sys") : home.documents();
    if (geteuid() != 0)
        QFile::setPermissions(folder, QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    home.setDocumentsFolder(folder);
    lists.addPlainRow(true);
    lists.addPlainRow(false);
    const QStringList before = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden);
    ExportCommand(&lists.window, lists.list, lists.store, target).PushButton4_Click();

    const QStringList reports = messages.errorReports();
    ASSERT_EQ(reports.size(), 1);
    EXPECT_TRUE(reports[0].startsWith(QStringLiteral("The workbook could not be saved in the folder \"") + folder))
        << reports[0].toStdString();
    EXPECT_TRUE(reports[0].contains(QStringLiteral("in Quorvane2021/08/31.Form1.PushButton4_Click ")));
    EXPECT_TRUE(messages.messages().isEmpty()); // no "Done." for a workbook that does not exist
    EXPECT_TRUE(opener.opened.isEmpty());
    EXPECT_EQ(QDir(folder).entryList(QDir::AllEntries | QDir::Hidden), before);
    EXPECT_EQ(lists.list.rowCount(), 2);
    EXPECT_TRUE(lists.list.isChecked(1));
    EXPECT_FALSE(lists.list.isChecked(2));
    EXPECT_EQ(Pointer(&lists.window), PointerShape::Default);
    QFile::setPermissions(home.documents(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST_F(XlsxExport, ADiskThatFillsWhileWritingGivesAClearMessageAndNoFile)
{
    // Letters at random do not compress: the workbook needs far more room than is left.
    std::mt19937 random(20261208);
    QString body;
    for (int i = 0; i < 300000; ++i)
        body += QChar(char16_t(u'a' + random() % 26));
    lists.addPlainRow(true, body);
    lists.addPlainRow(false);
    {
        const FileSizeLimit full(64 * 1024);
        ExportCommand(&lists.window, lists.list, lists.store, target).PushButton4_Click();
    }

    const QStringList reports = messages.errorReports();
    ASSERT_EQ(reports.size(), 1) << reports.join(u'|').toStdString() << messages.messages().join(u'|').toStdString()
                                 << opener.opened.join(u'|').toStdString();
    EXPECT_TRUE(reports[0].startsWith(QStringLiteral("The workbook could not be saved in the folder \"")
                                      + home.documents() + QStringLiteral("\": ")))
        << reports[0].toStdString();
    EXPECT_TRUE(reports[0].contains(QStringLiteral("in Quorvane2021/08/31.Form1.PushButton4_Click ")));
    EXPECT_TRUE(messages.messages().isEmpty()) << messages.messages().join(u'|').toStdString();
    EXPECT_TRUE(opener.opened.isEmpty());
    EXPECT_TRUE(home.documentFiles().isEmpty()) << home.documentFiles().join(u'|').toStdString();
    EXPECT_EQ(lists.list.rowCount(), 2);
    EXPECT_TRUE(lists.list.isChecked(1));
    EXPECT_FALSE(lists.list.isChecked(2));
    EXPECT_EQ(lists.store.record(1).PlainTextBody, body);
    EXPECT_EQ(Pointer(&lists.window), PointerShape::Default);

    // With room again, the same rows make a complete workbook.
    const ReadWorkbook book = exportAndRead();
    ASSERT_TRUE(book.ok) << book.error.toStdString();
    EXPECT_EQ(book.cells.value({2, 6}).shown, body.left(1022));
}

TEST_F(XlsxExport, WithoutADocumentsFolderOneIsMadeForTheUserAloneAndNothingGoesToTheTemporaryFolder)
{
    const UmaskGuard umask(022);
    QDir(home.documents()).removeRecursively();
    lists.addPlainRow(true);
    ASSERT_TRUE(exportAndRead().ok);
    EXPECT_EQ(QFileInfo(opener.opened.front()).absolutePath(), QDir(home.documents()).absolutePath());
    EXPECT_EQ(FileMode(home.documents()), 0700);
    EXPECT_EQ(FileMode(opener.opened.front()), 0600);
    EXPECT_TRUE(QDir(home.temp()).isEmpty());
}

TEST_F(XlsxExport, ASymlinkAtTheComingNameIsNeitherFollowedNorReplaced)
{
    // Dangling symlinks at the names of the next seconds, pointing into another user's reach.
    QTemporaryDir elsewhere;
    const QDateTime now = QDateTime::currentDateTime();
    QStringList planted;
    for (int second = 0; second < 5; ++second) {
        const QString name = QStringLiteral("Quorvane export %1.xlsx")
                                 .arg(now.addSecs(second).toString(QStringLiteral("yyyy-MM-dd HH-mm-ss")));
        ASSERT_TRUE(QFile::link(elsewhere.filePath(name), QDir(home.documents()).filePath(name)));
        planted << name;
    }
    lists.addPlainRow(true);
    ASSERT_TRUE(exportAndRead().ok) << messages.errorReports().join(u'|').toStdString();
    EXPECT_TRUE(QDir(elsewhere.path()).isEmpty()) << "the workbook was written through a symlink";
    for (const QString &name : planted)
        EXPECT_TRUE(QFileInfo(QDir(home.documents()).filePath(name)).isSymLink()) << name.toStdString();
    const QFileInfo workbook(opener.opened.front());
    EXPECT_FALSE(planted.contains(workbook.fileName()));
    EXPECT_FALSE(workbook.isSymLink());
    EXPECT_EQ(FileMode(workbook.filePath()), 0600);
}

TEST_F(XlsxExport, AnExistingNameIsNeverOverwritten)
{
    lists.addPlainRow(true);
    // A file already has the name this second gives.
    const QString taken = NewWorkbookPath();
    QFile(taken).open(QIODevice::WriteOnly);
    const QString next = NewWorkbookPath();
    EXPECT_NE(next, taken);
    EXPECT_TRUE(next.endsWith(QStringLiteral(" (2).xlsx")) || !next.contains(QStringLiteral(" (")))
        << next.toStdString();
    ASSERT_TRUE(exportAndRead().ok);
    EXPECT_EQ(QFileInfo(taken).size(), 0); // still the empty file we made
}

TEST_F(XlsxExport, AWorkbookThatCannotBeOpenedIsReportedWithItsPath)
{
    opener.answer = false;
    lists.addPlainRow(true);
    ExportCommand(&lists.window, lists.list, lists.store, target).PushButton4_Click();
    ASSERT_EQ(opener.opened.size(), 1);
    ASSERT_EQ(messages.errorReports().size(), 1);
    EXPECT_TRUE(messages.errorReports()[0].contains(opener.opened[0]));
    EXPECT_TRUE(QFileInfo::exists(opener.opened[0])); // the file stays for the user
    EXPECT_TRUE(messages.messages().isEmpty());
}

// The desktop's own opener, xdg-open, as a program: "Done." only when it started a program on
// the workbook; otherwise the box says where the workbook is and why it did not open.
TEST_F(XlsxExport, TheDesktopOpenerIsTakenAtItsWord)
{
    struct Case {
        const char *name;
        QString xdgOpen; // script body; empty: the system's own xdg-open, which finds no display
        bool done;
        QString reason;
    };
    const QList<Case> cases = {
        {"opens", QStringLiteral("[ -f \"$1\" ] && exit 0; exit 2"), true, {}},
        {"keeps running", QStringLiteral("exec sleep 30"), true, {}},
        {"its program fails", QStringLiteral("exit 4"), false, QStringLiteral("xdg-open exit code 4")},
        {"no handler", {}, false, QStringLiteral("no program is set to open this kind of file (xdg-open exit code 3)")},
    };
    FileOpener::install(nullptr);
    const EnvGuard display("DISPLAY");
    const EnvGuard wayland("WAYLAND_DISPLAY");
    display.unset();
    wayland.unset();
    const QString bin = qEnvironmentVariable("PATH");
    const EnvGuard path("PATH", QFile::encodeName(bin) + ":/usr/bin:/bin");
    lists.addPlainRow(true);
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        QFile::remove(bin + QStringLiteral("/xdg-open"));
        if (!test.xdgOpen.isEmpty())
            home.addScript(QStringLiteral("xdg-open"), test.xdgOpen);
        messages.clear();
        const QStringList before = home.documentFiles();
        ExportCommand(&lists.window, lists.list, lists.store, target).PushButton4_Click();
        QStringList made = home.documentFiles();
        made.removeIf([&](const QString &name) { return before.contains(name); });
        ASSERT_EQ(made.size(), 1) << "the workbook stays saved";
        if (test.done) {
            EXPECT_EQ(messages.messages(), QStringList{QStringLiteral("Done.")});
            EXPECT_TRUE(messages.errorReports().isEmpty()) << messages.errorReports().join(u'|').toStdString();
            continue;
        }
        EXPECT_TRUE(messages.messages().isEmpty()) << messages.messages().join(u'|').toStdString();
        ASSERT_EQ(messages.errorReports().size(), 1);
        const QString report = messages.errorReports()[0];
        EXPECT_TRUE(report.startsWith(QStringLiteral("The workbook was saved as \"")
                                      + QDir(home.documents()).filePath(made[0]) + u'"'))
            << report.toStdString();
        EXPECT_TRUE(report.contains(test.reason)) << report.toStdString();
    }
}

TEST(XlsxTargetDetection, AsksTheDesktopThenThePath)
{
    TestHome home;
    XlsxTarget target;
    EXPECT_FALSE(target.isAvailable());
    home.addProgram(QStringLiteral("xdg-mime")); // answers with nothing: no default application
    EXPECT_FALSE(target.isAvailable());
    home.addProgram(QStringLiteral("xdg-mime"), QStringLiteral("libreoffice-calc.desktop"));
    EXPECT_TRUE(target.isAvailable());

    TestHome other;
    other.addProgram(QStringLiteral("gnumeric"));
    EXPECT_TRUE(target.isAvailable());
}

} // namespace
