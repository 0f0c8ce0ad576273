#include "bench/benchfigures.h"
#include "bench/benchmailbox.h"
#include "export/exportcommand.h"
#include "export/xlsxtarget.h"
#include "tests/common/exportharness.h"
#include "tests/common/processmemory.h"
#include "tests/common/scriptedmessages.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSet>
#include <cstdio>

// The export bench: checked rows with bodies of about 4 KB through "3. Send To Excel" into a real .xlsx
// workbook (the opener only records the file), then, up to ReadBackRows, the workbook read back
// with openpyxl. Usage: bench_export [--rows N] (default 10,000).
namespace {

constexpr int BodyChars = 4096;
constexpr int ReadBackRows = 5000; // openpyxl holds a whole sheet: beyond this it takes minutes
int Rows = 10000;

// The same text for a row on every run: the bench's words, so that it packs like mail does.
QString body(int row)
{
    std::mt19937 rng(row);
    return QStringLiteral("Body of message %1.\r\n").arg(row) + Prose(rng, BodyChars);
}

void fill(ListFixture &lists)
{
    lists.store.recreate(Rows);
    for (int r = 1; r <= Rows; ++r) {
        const QStringList cells{QStringLiteral("Sender %1 <sender%1@example.test>").arg(r % 97),
                                QStringLiteral("Sender %1").arg(r % 97),
                                QStringLiteral("sender%1@example.test").arg(r % 97),
                                QStringLiteral("Quarterly report %1").arg(r),
                                QStringLiteral("01/02/2024 03:04:05"),
                                QStringLiteral("45293")};
        const int row = lists.list.appendRow(cells[0]);
        for (int column = 1; column < cells.size(); ++column)
            lists.list.setText(row, column, cells[column]);
        lists.list.setChecked(row, true);
        lists.store.setRecord(row, {cells[0], cells[1], cells[2], cells[3], cells[4], body(r), {}});
    }
}

// The body as the workbook holds it: the pieces from column 6 on, each without its text marker.
QString bodyInSheet(const ReadWorkbook &book, int sheetRow)
{
    QString text;
    for (int column = 6; book.cells.contains({sheetRow, column}); ++column)
        text += book.cells.value({sheetRow, column}).shown;
    return text;
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const qsizetype rowsAt = arguments.indexOf(QStringLiteral("--rows"));
    if (rowsAt > 0)
        Rows = arguments.value(rowsAt + 1).toInt();
    if (Rows < 2) {
        std::fprintf(stderr, "usage: bench_export [--rows N], N at least 2\n");
        return 2;
    }
    TestHome home; // the workbook goes to a documents folder of its own
    home.addProgram(QStringLiteral("localc")); // what the detection looks for
    ScriptedMessages messages;
    RecordingOpener opener;
    ListFixture lists;
    XlsxTarget target;
    fill(lists);
    const qint64 beforeKb = ResidentKb();
    ResetPeakResident();

    QElapsedTimer clock;
    StallMeter stalls;
    clock.start();
    ExportCommand(&lists.window, lists.list, lists.store, target).PushButton4_Click();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    const double longestStallMs = stalls.longestMs();
    const qint64 exportPeakKb = PeakResidentKb(); // before reading back, which fills this process too
    if (opener.opened.size() != 1 || messages.messages() != QStringList{QStringLiteral("Done.")}) {
        std::fprintf(stderr, "export bench: the export did not deliver one workbook: %s\n",
                     qPrintable(messages.messages().join(u'|') + messages.errorReports().join(u'|')));
        return 1;
    }
    const QString path = opener.opened.front();
    std::printf("Export bench\n");
    std::printf("  %d checked rows with bodies of about %d characters to xlsx: %.2f s (%.0f rows/s), workbook %.1f MB\n", Rows,
                BodyChars, seconds, Rows / seconds, QFileInfo(path).size() / (1024.0 * 1024.0));
    std::printf("  peak RSS during the export: %.1f MB (%.1f MB with the rows filled, before the click), "
                "longest event-loop stall %.1f ms\n",
                exportPeakKb / 1024.0, beforeKb / 1024.0, longestStallMs);
    if (Rows > ReadBackRows) {
        std::printf("  not read back (more than %d rows)\n", ReadBackRows);
        return 0;
    }

    clock.restart();
    const ReadWorkbook book = ReadXlsx(path);
    const double readSeconds = double(clock.nsecsElapsed()) / 1e9;
    if (!book.ok) {
        std::fprintf(stderr, "export bench: openpyxl could not read the workbook: %s\n", qPrintable(book.error));
        return 1;
    }
    QSet<int> dataRows;
    for (auto cell = book.cells.begin(); cell != book.cells.end(); ++cell)
        if (cell.key().first > 1)
            dataRows.insert(cell.key().first);
    const bool bodiesWhole = bodyInSheet(book, 2) == body(1) && bodyInSheet(book, Rows + 1) == body(Rows);
    std::printf("  read back with openpyxl in %.1f s: %lld data rows (expected %d), %lld cells, first and last "
                "bodies %s\n",
                readSeconds, static_cast<long long>(dataRows.size()), Rows, static_cast<long long>(book.cells.size()),
                bodiesWhole ? "whole" : "DIFFERENT");
    return dataRows.size() == Rows && bodiesWhole ? 0 : 1;
}
