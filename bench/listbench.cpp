#include "bench/benchfigures.h"
#include "mail/clschilkatimap.h"
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
#include <cstdio>

// The list bench: listing events into the main window's list through the results list's
// handler, as a reading run delivers them (a yield before and after each), while a zero-interval
// timer measures the longest time the event loop was held; then check-box clicks on a long list,
// each of which counts the checked rows.
namespace {

constexpr int TimedEvents = 20000;
constexpr int CountedRows = 30000;
constexpr int Clicks = 9;

// The longest gap between two firings of a timer that fires whenever events are processed.
class StallMeter {
public:
    StallMeter()
    {
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_longest = std::max(m_longest, now - m_last);
            m_last = now;
        });
        m_timer.start(0);
        m_clock.start();
    }
    double longestMs() const { return double(m_longest) / 1e6; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
};

// One event of the session, through the same signal the reading loop emits.
void deliverListing(clsChilkatIMAP &session, int n)
{
    QString From = QStringLiteral("Sender %1 <sender%1@example.test>").arg(n % 97);
    QString FromName = QStringLiteral("Sender %1").arg(n % 97);
    QString FromAddress = QStringLiteral("sender%1@example.test").arg(n % 97);
    QString Subject = QStringLiteral("Quarterly report %1 for the café").arg(n);
    QString ReceivedDate = DateToText(QDateTime(QDate(2021, 1, 1), QTime(8, 0)).addSecs(qint64(n) * 3607));
    QString PlainTextBody = QStringLiteral("Please review the attached numbers of message %1.\r\n").arg(n).repeated(8);
    QString HTMLTextBody;
    qint32 uID = n;
    DoEvents();
    Q_EMIT session.MailExtractListing(From, FromName, FromAddress, Subject, ReceivedDate, PlainTextBody, HTMLTextBody,
                                      uID);
    DoEvents();
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ScriptedMessages messages;
    ResultsHarness harness;
    harness.mailStore.recreate(CountedRows);
    const auto session = std::make_shared<clsChilkatIMAP>();
    harness.oChilkat->set(session);

    QElapsedTimer clock;
    double seconds = 0;
    double longestStallMs = 0;
    {
        StallMeter meter;
        clock.start();
        for (int n = 1; n <= TimedEvents; ++n)
            deliverListing(*session, n);
        seconds = double(clock.nsecsElapsed()) / 1e9;
        longestStallMs = meter.longestMs();
    }
    std::printf("List bench\n");
    std::printf("  %d listing events into ListView1: %.2f s (%.0f rows/s), longest event-loop stall %.1f ms "
                "(goal <= 100 ms)\n",
                TimedEvents, seconds, TimedEvents / seconds, longestStallMs);
    for (int n = TimedEvents + 1; n <= CountedRows; ++n)
        deliverListing(*session, n);
    if (harness.list->rowCount() != CountedRows) {
        std::fprintf(stderr, "list bench: %d rows instead of %d\n", harness.list->rowCount(), CountedRows);
        return 1;
    }

    QList<double> clickMs;
    for (int row = 1; row <= Clicks; ++row) {
        QElapsedTimer click;
        click.start();
        ClickCheckBox(harness.ListView1, row);
        clickMs << double(click.nsecsElapsed()) / 1e6;
    }
    const QString expected = QStringLiteral("Selected Emails: %1").arg(Clicks);
    if (harness.Label2->text() != expected) {
        std::fprintf(stderr, "list bench: the label reads \"%s\", not \"%s\"\n", qPrintable(harness.Label2->text()),
                     qPrintable(expected));
        return 1;
    }
    std::sort(clickMs.begin(), clickMs.end());
    std::printf("  check-box click with CountChecked on %d rows: median %.1f ms (fastest %.1f, slowest %.1f, %d clicks; "
                "goal < 50 ms)\n",
                CountedRows, Median(clickMs), clickMs.first(), clickMs.last(), Clicks);
    std::printf("  peak RSS of the list bench: %.1f MB\n", PeakResidentKb() / 1024.0);
    if (!messages.shown.isEmpty())
        std::fprintf(stderr, "list bench: unexpected boxes: %s\n", qPrintable(messages.messages().join(u'|')));
    return 0;
}
