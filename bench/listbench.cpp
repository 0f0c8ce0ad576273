#include "bench/benchfigures.h"
#include "bench/benchmailbox.h"
#include "export/largerviewcommand.h"
#include "imap/mimereader.h"
#include "mail/clschilkatimap.h"
#include "results/resultsview.h"
#include "support/datetext.h"
#include "support/doevents.h"
#include "tests/common/checkboxclick.h"
#include "tests/common/processmemory.h"
#include "tests/common/resultsharness.h"
#include "tests/common/scriptedmessages.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <numeric>
#include <cstdio>

// The list bench: the main window's list and MailStore filled with the reading bench's mix of
// messages, decoded by the program's own reader and delivered through the session's listing
// event as a reading run delivers them (a yield before and after each), while a zero-interval
// timer measures the longest time the event loop was held. Then the window's commands on the
// filled list, and one message whose Subject is 10 MB long.
namespace {

constexpr int DefaultRows = 100000;
constexpr int Clicks = 9;
constexpr qsizetype HugeSubjectChars = 10 * 1024 * 1024;

struct Listing {
    QString From, FromName, FromAddress, Subject, ReceivedDate, PlainTextBody, HTMLTextBody;
    qint32 uID = 0;

    qint64 utf8Bytes() const
    {
        qint64 bytes = 0;
        for (const QString *text : {&From, &FromName, &FromAddress, &Subject, &ReceivedDate, &PlainTextBody, &HTMLTextBody})
            bytes += text->toUtf8().size();
        return bytes;
    }
};

// One event of the session, through the signal the reading loop emits; seconds it took.
double deliver(clsChilkatIMAP &session, Listing &l)
{
    DoEvents();
    QElapsedTimer clock;
    clock.start();
    Q_EMIT session.MailExtractListing(l.From, l.FromName, l.FromAddress, l.Subject, l.ReceivedDate, l.PlainTextBody,
                                      l.HTMLTextBody, l.uID);
    DoEvents();
    return double(clock.nsecsElapsed()) / 1e9;
}

Listing decoded(const QByteArray &raw, qint32 number)
{
    const Email email = ReadEmail(raw, QDateTime(QDate(2021, 1, 1), QTime(8, 0)));
    return {email.From,          email.FromName,      email.FromAddress,
            email.Subject,       email.Date.isValid() ? DateToText(email.Date) : QString(),
            email.PlainTextBody, email.HTMLTextBody,  number};
}

double mb(qint64 kb)
{
    return double(kb) / 1024.0;
}

// Runs a command of the filled window: its milliseconds and the longest stall around it.
void timeCommand(const char *what, const std::function<void()> &command)
{
    StallMeter meter;
    DoEvents();
    QElapsedTimer clock;
    clock.start();
    command();
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    DoEvents();
    DoEvents();
    std::printf("  %-44s %8.1f ms (longest event-loop stall %.1f ms)\n", what, ms, meter.longestMs());
}

void hugeSubject(ResultsHarness &harness, clsChilkatIMAP &session)
{
    const QString words = QStringLiteral("quarterly report for the café ");
    Listing l{QStringLiteral("Sender <s@example.test>"), QStringLiteral("Sender"), QStringLiteral("s@example.test"),
              words.repeated(HugeSubjectChars / words.size() + 1).left(HugeSubjectChars),
              DateToText(QDateTime(QDate(2021, 8, 31), QTime(15, 45, 12))), QStringLiteral("body"), {}, 1};
    const double textMb = double(l.Subject.toUtf8().size()) / 1048576.0;
    harness.mailStore.recreate(1);
    DoEvents();
    ResetPeakResident();
    const qint64 baseKb = ResidentKb();
    StallMeter meter;
    const double listingMs = deliver(session, l) * 1e3;
    // Painted into a picture: a real paint, which the window's own pacing cannot hold back.
    QElapsedTimer clock;
    clock.start();
    harness.ListView1->viewport()->grab();
    const double firstPaintMs = double(clock.nsecsElapsed()) / 1e6;
    clock.start();
    harness.ListView1->viewport()->grab();
    const double repaintMs = double(clock.nsecsElapsed()) / 1e6;
    DoEvents();
    std::printf("  a %.1f MB Subject: listing %.1f ms, first paint %.1f ms, repaint %.1f ms, longest stall %.1f ms "
                "(goal <= 100 ms)\n"
                "    peak RSS growth %.1f MB = %.2f x the text (goal <= 3)\n",
                textMb, listingMs, firstPaintMs, repaintMs, meter.longestMs(), mb(PeakResidentKb() - baseKb),
                mb(PeakResidentKb() - baseKb) / textMb);
    harness.list->clear();
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList arguments = QCoreApplication::arguments();
    const qsizetype rowsAt = arguments.indexOf(QStringLiteral("--rows"));
    const int rows = rowsAt > 0 ? arguments.value(rowsAt + 1).toInt() : DefaultRows;
    if (rows < Clicks) {
        std::fprintf(stderr, "usage: bench_list [--rows N], N at least %d\n", Clicks);
        return 2;
    }
    ScriptedMessages messages;
    ResultsHarness harness;
    const auto session = std::make_shared<clsChilkatIMAP>();
    harness.oChilkat->set(session);
    std::printf("List bench\n");
    hugeSubject(harness, *session);

    // Rows of the bench mix.
    ResetPeakResident();
    const qint64 baseKb = ResidentKb();
    harness.mailStore.recreate(rows);
    // The cost of a row early and late in the run: flat when no work grows with the list.
    const int edge = std::min(2000, rows / 2);
    QList<double> firstRows, lastRows;
    double seconds = 0;
    qint64 textBytes = 0;
    double longestStallMs = 0;
    {
        StallMeter meter;
        int number = 0;
        ForEachBenchMessage(rows, [&](const QByteArray &raw) {
            Listing l = decoded(raw, ++number);
            textBytes += l.utf8Bytes();
            const double took = deliver(*session, l);
            seconds += took;
            if (number <= edge)
                firstRows << took;
            else if (number > rows - edge)
                lastRows << took;
        });
        longestStallMs = meter.longestMs();
    }
    if (harness.list->rowCount() != rows) {
        std::fprintf(stderr, "list bench: %d rows instead of %d\n", harness.list->rowCount(), rows);
        return 1;
    }
    const auto meanUs = [](const QList<double> &s) { return s.isEmpty() ? 0.0 : std::accumulate(s.begin(), s.end(), 0.0) / double(s.size()) * 1e6; };
    std::printf("  %d rows of the bench mix into ListView1 and MailStore: %.2f s in the listing handler and its yields "
                "(mean %.0f us a row over the first %d, %.0f us over the last %d), longest event-loop stall "
                "%.1f ms (goal <= 100 ms)\n",
                rows, seconds, meanUs(firstRows), edge, meanUs(lastRows), edge, longestStallMs);
    std::printf("  memory: the seven texts %.1f MB as UTF-8; RSS grew by %.1f MB to a peak (VmHWM) of %.1f MB\n",
                double(textBytes) / 1048576.0, mb(PeakResidentKb() - baseKb), mb(PeakResidentKb()));

    timeCommand("\"Check All\"", [&] { harness.selection->PushButton5_Click(); });
    timeCommand("\"Uncheck All\"", [&] { harness.selection->PushButton6_Click(); });
    QList<double> clickMs;
    double clickStallMs = 0;
    for (int row = 1; row <= Clicks; ++row) {
        StallMeter meter;
        QElapsedTimer click;
        click.start();
        ClickCheckBox(harness.ListView1, row);
        clickMs << double(click.nsecsElapsed()) / 1e6;
        DoEvents();
        clickStallMs = std::max(clickStallMs, meter.longestMs());
    }
    const QString expected = QStringLiteral("Selected Emails: %1").arg(Clicks);
    if (harness.Label2->text() != expected) {
        std::fprintf(stderr, "list bench: the label reads \"%s\", not \"%s\"\n", qPrintable(harness.Label2->text()),
                     qPrintable(expected));
        return 1;
    }
    std::printf("  %-44s %8.1f ms median of %d (slowest %.1f, longest event-loop stall %.1f ms)\n",
                "check-box click with CountChecked", Median(clickMs), Clicks,
                *std::max_element(clickMs.begin(), clickMs.end()), clickStallMs);
    messages.queueInput(QStringLiteral("invoice"));
    timeCommand("\"Check Emails Containing...\" invoice", [&] { harness.selection->PushButton9_Click(); });
    messages.queueInput(QStringLiteral("report"));
    timeCommand("\"Check Emails Not Containing...\" report", [&] { harness.selection->PushButton10_Click(); });
    timeCommand("\"Show List In Larger View\", then \"< Back\"", [&] {
        LargerViewCommand(*harness.list, &harness.window).PushButton8_Click();
    });
    timeCommand("\"Clear List\"", [&] { harness.selection->PushButton7_Click(); });
    std::printf("  goal for each command: at most 100 ms, no stall over 100 ms\n");
    if (!messages.errorReports().isEmpty() || !messages.messages().isEmpty())
        std::fprintf(stderr, "list bench: unexpected boxes: %s\n",
                     qPrintable((messages.messages() + messages.errorReports()).join(u'|')));
    return 0;
}
