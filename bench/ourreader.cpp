#include "bench/ourreader.h"

#include "bench/benchfigures.h"
#include "tests/common/scriptedmessages.h"
#include "tests/results/resultsharness.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

namespace {

qint64 textsChars(MailStore &store)
{
    qint64 chars = 0;
    for (qint32 index = 1; index <= store.size(); ++index) {
        const MailRecord &r = store.at(index);
        for (const QString *text : {&r.From, &r.FromName, &r.FromAddress, &r.Subject, &r.ReceivedDate,
                                    &r.PlainTextBody, &r.HTMLTextBody})
            chars += text->size();
    }
    return chars;
}

} // namespace

int RunOurReader(const QStringList &arguments)
{
    if (arguments.size() != 4) {
        std::fprintf(stderr, "--ours PORT USER PASSWORD FOLDER\n");
        return 2;
    }
    const int port = arguments[0].toInt();
    const QString &folder = arguments[3];
    // The error log is written as in a real run, into a folder of its own.
    QTemporaryDir temp;
    qputenv("TEMP", QFile::encodeName(temp.path()));
    ScriptedMessages messages;
    ResultsHarness harness;
    const qint64 startRss = CurrentRssKb();
    if (!harness.connectTo(QStringLiteral("localhost"), port, arguments[1], arguments[2], folder)) {
        std::fprintf(stderr, "sign-in failed: %s\n", qPrintable(harness.component.lastErrorText()));
        return 1;
    }
    messages.clear();

    QElapsedTimer clock;
    clock.start();
    harness.clickGetAll();
    const double seconds = double(clock.nsecsElapsed()) / 1e9;

    if (messages.messages() != QStringList{QStringLiteral("Done.")} || !messages.errorReports().isEmpty())
        std::fprintf(stderr, "unexpected boxes: %s | reports: %s\n", qPrintable(messages.messages().join(u'|')),
                     qPrintable(messages.errorReports().join(u'|')));
    const qint64 logBytes = QFileInfo(temp.filePath(QStringLiteral("errorlog.txt"))).size();
    std::printf("RESULT seconds=%.3f messages=%d start_rss_kb=%lld peak_rss_kb=%lld texts_chars=%lld log_bytes=%lld\n",
                seconds, harness.list->rowCount(), static_cast<long long>(startRss),
                static_cast<long long>(PeakRssKb()), static_cast<long long>(textsChars(harness.mailStore)),
                static_cast<long long>(logBytes));
    return 0;
}
