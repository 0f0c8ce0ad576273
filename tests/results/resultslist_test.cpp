#include "results/listinghandler.h"
#include "results/mailstore.h"
#include "results/resultslist.h"
#include "results/resultsview.h"
#include "results/selectioncommands.h"
#include "support/apperror.h"
#include "support/datetext.h"

#include "tests/common/envguard.h"
#include "tests/common/filesizelimit.h"
#include "tests/common/printers.h"
#include "tests/common/scriptedmessages.h"

#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTemporaryDir>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <optional>
#include <sys/stat.h>

namespace {

struct ListFixture : ::testing::Test {
    QWidget window;
    ResultsView *view = new ResultsView(&window);
    QLabel *total = new QLabel(&window);
    QLabel *selected = new QLabel(&window);
    ResultsList list{view, total, selected};
    MailStore store;
    ScriptedMessages boxes;

    ListFixture() { list.createColumns({1300, 1300, 1600, 1600, 1600, 0}); }

    void add(const QString &from, const QString &fromName, const QString &subject, const QString &plain = {},
             const QString &html = {}, const QString &filter = {}, const QString &fromAddress = QStringLiteral("a@b.example"),
             const QString &date = QStringLiteral("not a date"))
    {
        AddListing(list, store, filter, from, fromName, fromAddress, subject, date, plain, html);
    }
};

QString dayNumber(int year, int month, int day, int hour, int minute, int second = 0)
{
    return RecDateText(DateToText(QDateTime(QDate(year, month, day), QTime(hour, minute, second))));
}

} // namespace

TEST(MailStoreTest, HoldsTheRunsRecordsFromOneWhole)
{
    MailStore store;
    store.recreate(3);
    EXPECT_EQ(store.size(), 3);
    const MailRecord third{"Ann <ann@x.example>", "Ann", "ann@x.example", "Grüße 😀", "31/08/2021 15:45:12",
                           QString(100000, u'p') + QChar(0), "<p>é</p>"};
    store.setRecord(3, third);
    EXPECT_EQ(store.record(3), third);
    EXPECT_EQ(store.plainTextBody(3), third.PlainTextBody);
    EXPECT_EQ(store.record(1), MailRecord{});
    for (int outside : {0, 4, -1}) {
        try {
            store.setRecord(outside, third);
            ADD_FAILURE() << "index " << outside << " was accepted";
        } catch (const AppError &error) {
            EXPECT_EQ(error.description(), QStringLiteral("Subscript out of range"));
        }
        EXPECT_THROW(store.record(outside), AppError);
    }
    store.recreate(1);
    EXPECT_EQ(store.size(), 1);
    EXPECT_EQ(store.record(1), MailRecord{}) << "a new run starts from empty records";
    store.recreate(-5);
    EXPECT_EQ(store.size(), 0);
    EXPECT_THROW(store.record(1), AppError);
}

// The texts go to a file that has no name and only this user can open; where that file cannot
// take them, they stay in memory.
TEST(MailStoreTest, TextsGoToAPrivateNamelessFileOrStayWhole)
{
    QTemporaryDir temp;
    const QString folder = QDir(temp.path()).canonicalPath();
    // The descriptor this process holds on a file in the folder, or nothing.
    const auto fileIn = [&] {
        for (const QFileInfo &fd : QDir(QStringLiteral("/proc/self/fd")).entryInfoList(QDir::AllEntries | QDir::System)) {
            if (fd.symLinkTarget().startsWith(folder + u'/'))
                return fd.filePath();
        }
        return QString();
    };
    const QList<MailRecord> records = {{"a", "b", "c", "d", "e", QString(2000, u'f'), "g"},
                                       {"h", "i", "j", "k", "l", QString(100000, u'm'), "n"},
                                       {"o", "p", "q", "r", "s", "t", "u"}};
    for (const char *where : {"private file", "full disk", "no temporary folder"}) {
        SCOPED_TRACE(where);
        const EnvGuard tmpdir("TMPDIR", QFile::encodeName(where == std::string("no temporary folder")
                                                                ? folder + QStringLiteral("/missing")
                                                                : folder));
        const std::optional<FileSizeLimit> full = where == std::string("full disk")
            ? std::make_optional<FileSizeLimit>(64 * 1024) : std::nullopt;
        MailStore store;
        store.recreate(3);
        for (int index = 1; index <= 3; ++index)
            store.setRecord(index, records[index - 1]);
        for (int index = 1; index <= 3; ++index)
            EXPECT_EQ(store.record(index), records[index - 1]);
        EXPECT_TRUE(QDir(folder).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot));
        if (where == std::string("private file")) {
            struct stat info;
            ASSERT_EQ(stat(QFile::encodeName(fileIn()).constData(), &info), 0) << "the texts are in no file";
            EXPECT_EQ(info.st_mode & 0777, 0600u);
        }
    }
    EXPECT_TRUE(fileIn().isEmpty()) << "a store that is gone leaves no file open";
}

TEST_F(ListFixture, ColumnsInTwipsWithTheDayNumberHidden)
{
    EXPECT_EQ(ResultsList::columnHeaders(), (QStringList{"From", "From Name", "From Address", "Subject",
                                                         "Received Date", "RecDate"}));
    ASSERT_EQ(view->model()->columnCount(), 6);
    for (int column = 0; column < 6; ++column)
        EXPECT_EQ(view->model()->headerData(column, Qt::Horizontal), ResultsList::columnHeaders()[column]);
    const double dpi = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->logicalDotsPerInch() : 96;
    EXPECT_EQ(TwipsToPixels(1440), qRound(dpi));
    EXPECT_EQ(view->columnWidth(0), TwipsToPixels(1300));
    EXPECT_EQ(view->columnWidth(2), TwipsToPixels(1600));
    EXPECT_TRUE(view->isColumnHidden(5));
    EXPECT_FALSE(view->isColumnHidden(4));
}

TEST_F(ListFixture, RowsAreOneBasedUncheckedAndOnlyTheUsersClickIsAnItemCheck)
{
    QSignalSpy itemCheck(&list, &ResultsList::ItemCheck);
    EXPECT_EQ(list.appendRow(QStringLiteral("first")), 1);
    EXPECT_EQ(list.appendRow(QStringLiteral("second")), 2);
    EXPECT_EQ(list.rowCount(), 2);
    EXPECT_EQ(list.text(2, 0), QStringLiteral("second"));
    EXPECT_FALSE(list.isChecked(1));
    EXPECT_TRUE(view->model()->index(0, 0).flags() & Qt::ItemIsUserCheckable);
    list.setText(2, 3, QStringLiteral("subject"));
    list.setChecked(1, true);
    EXPECT_TRUE(list.isChecked(1));
    EXPECT_EQ(itemCheck.count(), 0) << "programmatic changes are not the user's";
    EXPECT_THROW(list.text(3, 0), AppError);
    EXPECT_THROW(list.setChecked(0, true), AppError);

    window.show();
    view->setFocus();
    view->setCurrentIndex(view->model()->index(1, 0));
    QTest::keyClick(view, Qt::Key_Space);
    EXPECT_TRUE(list.isChecked(2));
    ASSERT_EQ(itemCheck.count(), 1);
    EXPECT_EQ(itemCheck.at(0).at(0).toInt(), 2);
}

TEST_F(ListFixture, CountersResetOrCount)
{
    for (int row = 1; row <= 10; ++row)
        list.setChecked(list.appendRow(QString::number(row)), row <= 7);
    list.UpdateCounters(true);
    EXPECT_EQ(total->text(), QStringLiteral("Total Number Of Emails: 0"));
    EXPECT_EQ(selected->text(), QStringLiteral("Selected Emails: 0"));
    EXPECT_EQ(list.rowCount(), 10) << "a reset leaves the rows";
    list.UpdateCounters(false);
    EXPECT_EQ(total->text(), QStringLiteral("Total Number Of Emails: 10"));
    EXPECT_EQ(selected->text(), QStringLiteral("Selected Emails: 7"));
}

TEST_F(ListFixture, CountingSurvivesTheListBeingClearedDuringItsYields)
{
    for (int row = 1; row <= 50; ++row)
        list.setChecked(list.appendRow(QString::number(row)), true);
    bool cleared = false;
    QTimer::singleShot(0, view, [&] {
        list.clear();
        cleared = true;
    });
    const qint32 counted = list.CountChecked();
    EXPECT_TRUE(cleared) << "CountChecked yields";
    EXPECT_LT(counted, 50);
    EXPECT_EQ(list.rowCount(), 0);
}

TEST_F(ListFixture, ListingBecomesAnUncheckedRowAndAStoreRecord)
{
    store.recreate(3);
    const QString date = DateToText(QDateTime(QDate(2021, 8, 31), QTime(15, 45, 12)));
    AddListing(list, store, QString(), "Ann <ann@x.example>", "Ann", "ann@x.example", "Hello", date, "plain body",
               "<p>html</p>");
    AddListing(list, store, QString(), "Bob <bob@x.example>", "Bob", "bob@x.example", "Second", date, "", "");
    ASSERT_EQ(list.rowCount(), 2);
    EXPECT_EQ(list.text(1, 0), QStringLiteral("Ann <ann@x.example>"));
    EXPECT_EQ(list.text(1, 1), QStringLiteral("Ann"));
    EXPECT_EQ(list.text(1, 2), QStringLiteral("ann@x.example"));
    EXPECT_EQ(list.text(1, 3), QStringLiteral("Hello"));
    EXPECT_EQ(list.text(1, 4), date);
    EXPECT_EQ(list.text(1, 5), QStringLiteral("44440"));
    EXPECT_FALSE(list.isChecked(1));
    EXPECT_FALSE(list.isChecked(2));
    const MailRecord first = store.record(1);
    EXPECT_EQ(first.From, QStringLiteral("Ann <ann@x.example>"));
    EXPECT_EQ(first.ReceivedDate, date);
    EXPECT_EQ(first.PlainTextBody, QStringLiteral("plain body"));
    EXPECT_EQ(first.HTMLTextBody, QStringLiteral("<p>html</p>"));
    EXPECT_EQ(store.record(2).Subject, QStringLiteral("Second"));
    EXPECT_TRUE(store.record(3).From.isEmpty());
    EXPECT_TRUE(boxes.shown.isEmpty());
}

TEST_F(ListFixture, FilterMatchesSubjectWithoutCaseAndTheRestExactly)
{
    store.recreate(10);
    const QString filter = QStringLiteral("invoice");
    add("a@x.example", "Ann", "INVOICE 42", {}, {}, filter);                // subject, any case: in
    add("b@x.example", "INVOICE Dept", "monthly", {}, {}, filter);          // sender name upper case: out
    add("c@x.example", "Cid", "news", {}, "<b>invoice</b> attached", filter); // HTML body only: out
    add("d@x.example", "Dan", "news", "your invoice is attached", {}, filter); // plain body: in
    add("invoice@x.example", "Eve", "news", {}, {}, filter);                // From, exact case: in
    add("f@x.example", "Fay", "news", {}, {}, filter, "INVOICE@x.example"); // address upper case: out
    add("g@x.example", "invoices team", "news", {}, {}, filter);            // sender name exact case: in
    ASSERT_EQ(list.rowCount(), 4);
    EXPECT_EQ(list.text(1, 3), QStringLiteral("INVOICE 42"));
    EXPECT_EQ(list.text(2, 0), QStringLiteral("d@x.example"));
    EXPECT_EQ(list.text(3, 0), QStringLiteral("invoice@x.example"));
    EXPECT_EQ(list.text(4, 1), QStringLiteral("invoices team"));
    EXPECT_EQ(store.record(2).PlainTextBody, QStringLiteral("your invoice is attached"));
    EXPECT_TRUE(store.record(5).From.isEmpty()) << "filtered messages take no record";

    EXPECT_TRUE(PassesFilter("2021", "x", "", "", "", "31/08/2021", "")) << "the date text is searched";
    EXPECT_FALSE(PassesFilter(" invoice", "x", "", "", "invoice", "", "")) << "the filter is not trimmed";
}

TEST_F(ListFixture, FailedCellsAreReportedAndTheRowStillComplete)
{
    store.recreate(1);
    add("one@x.example", "One", "first");
    add("two@x.example", "Two", "second", "body two");
    ASSERT_EQ(list.rowCount(), 2);
    EXPECT_EQ(list.text(2, 1), QStringLiteral("Two")) << "a row beyond the store still gets its sub-items";
    EXPECT_EQ(list.text(2, 3), QStringLiteral("second"));
    EXPECT_EQ(list.text(2, 4), QStringLiteral("not a date"));
    EXPECT_TRUE(list.text(2, 5).isEmpty()) << "no day number for a text that is no date";
    EXPECT_EQ(store.record(1).From, QStringLiteral("one@x.example")) << "the previous record is not overwritten";

    const QStringList reports = boxes.errorReports();
    ASSERT_EQ(reports.size(), 3); // two day numbers, one store index
    const QString tag = QStringLiteral("in Quorvane2021/08/31.Form1.oChilkat_MailExtractListing ");
    EXPECT_THAT(reports[0].toStdString(),
                testing::StartsWith((QStringLiteral("Type mismatch\r\n") + tag).toStdString()));
    EXPECT_THAT(reports[1].toStdString(),
                testing::StartsWith((QStringLiteral("Subscript out of range\r\n") + tag).toStdString()));
    EXPECT_THAT(reports[2].toStdString(), testing::StartsWith("Type mismatch\r\n"));
}

TEST_F(ListFixture, ListingYieldsOnce)
{
    store.recreate(1);
    bool ranMeanwhile = false;
    QTimer::singleShot(0, view, [&] { ranMeanwhile = true; });
    add("one@x.example", "One", "first");
    EXPECT_TRUE(ranMeanwhile);
}

// A header value of megabytes: the list shows its start, everything else sees all of it.
TEST_F(ListFixture, AHugeValueIsShownCutAndKeptWhole)
{
    store.recreate(1);
    const QString subject = QString(5 * 1024 * 1024, u'é') + QStringLiteral("Needle");
    add("a@x.example", "Ann", subject, {}, {}, QStringLiteral("needle"));
    ASSERT_EQ(list.rowCount(), 1) << "the filter looks at the whole text";
    const QString shown = view->model()->index(0, 3).data().toString();
    EXPECT_GT(shown.size(), 100);
    EXPECT_LT(shown.size(), 10000);
    EXPECT_TRUE(subject.startsWith(shown)) << "cut between characters";
    EXPECT_EQ(list.text(1, 3), subject);
    EXPECT_EQ(store.record(1).Subject, subject);

    bool bRuleMatched = false;
    SelectionCommands commands(QStringLiteral("Form1"), list, bRuleMatched, [] { return false; });
    boxes.queueInput(QStringLiteral("NEEDLE"));
    commands.PushButton9_Click();
    EXPECT_TRUE(list.isChecked(1)) << "the rule commands look at the whole text";
}

TEST(RecDateTest, DayNumberRoundsToTheNearestDayHalvesToEven)
{
    EXPECT_EQ(dayNumber(2021, 8, 31, 9, 5), QStringLiteral("44439"));
    EXPECT_EQ(dayNumber(2021, 8, 31, 12, 0), QStringLiteral("44440"));  // 44439.5 goes up to the even day
    EXPECT_EQ(dayNumber(2021, 9, 1, 12, 0), QStringLiteral("44440"));   // 44440.5 stays on the even day
    EXPECT_EQ(dayNumber(2021, 8, 31, 15, 45, 12), QStringLiteral("44440"));
    EXPECT_EQ(dayNumber(2021, 8, 31, 23, 30), QStringLiteral("44440"));
    EXPECT_EQ(dayNumber(2021, 8, 31, 0, 30), QStringLiteral("44439"));
    EXPECT_EQ(dayNumber(2021, 8, 31, 0, 0), QStringLiteral("44439")) << "midnight has no time part";
    EXPECT_THROW(RecDateText(QStringLiteral("yesterday")), AppError);
    EXPECT_THROW(RecDateText(QString()), AppError);
}
