#include "bench/benchfigures.h"
#include "bench/benchmailbox.h"
#include "bench/clientruns.h"
#include "bench/ourreader.h"
#include "devserver/delayproxy.h"
#include "devserver/dovecotfixture.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QMap>
#include <algorithm>
#include <cstdio>
#include <stdexcept>

// The reading bench: one folder in a Dovecot of its own, read by our reader, mbsync and Python
// imaplib through the delay proxy at several round-trip times. Figures go to standard output.
namespace {

struct Options {
    QList<int> rtts{0, 20, 50};
    QStringList clients{QStringLiteral("ours"), QStringLiteral("mbsync"), QStringLiteral("python")};
    int messages = 2000;
    int largeAttachmentEvery = 0;
    int repeats = 3;
    int slowRepeats = 1;
    double slowSeconds = 60;
};

Options parseOptions(const QApplication &app)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Reading bench: ours against mbsync and Python imaplib."));
    parser.addHelpOption();
    const QCommandLineOption rtts(QStringLiteral("rtts"), QStringLiteral("Added round-trip times in ms."),
                                  QStringLiteral("list"), QStringLiteral("0,20,50"));
    const QCommandLineOption clients(QStringLiteral("clients"), QStringLiteral("Clients to run."),
                                     QStringLiteral("list"), QStringLiteral("ours,mbsync,python"));
    const QCommandLineOption messages(QStringLiteral("messages"), QStringLiteral("Messages in the folder."),
                                      QStringLiteral("n"), QStringLiteral("2000"));
    const QCommandLineOption largeAttachments(
        QStringLiteral("large-attachments"),
        QStringLiteral("Every n-th message also carries a 2 MB attachment (0: none)."), QStringLiteral("n"),
        QStringLiteral("0"));
    const QCommandLineOption repeats(QStringLiteral("repeats"), QStringLiteral("Runs per client and RTT (median)."),
                                     QStringLiteral("n"), QStringLiteral("3"));
    const QCommandLineOption slowRepeats(
        QStringLiteral("slow-repeats"),
        QStringLiteral("Runs at 50 ms or more of a client whose first run there took longer than --slow-seconds."),
        QStringLiteral("n"), QStringLiteral("1"));
    const QCommandLineOption slowSeconds(QStringLiteral("slow-seconds"), QStringLiteral("See --slow-repeats."),
                                         QStringLiteral("s"), QStringLiteral("60"));
    parser.addOptions({rtts, clients, messages, largeAttachments, repeats, slowRepeats, slowSeconds});
    parser.process(app);
    Options o;
    o.rtts.clear();
    for (const QString &rtt : parser.value(rtts).split(u',', Qt::SkipEmptyParts))
        o.rtts << rtt.toInt();
    o.clients = parser.value(clients).split(u',', Qt::SkipEmptyParts);
    o.messages = std::max(1, parser.value(messages).toInt());
    o.largeAttachmentEvery = std::max(0, parser.value(largeAttachments).toInt());
    o.repeats = std::max(1, parser.value(repeats).toInt());
    o.slowRepeats = std::max(1, parser.value(slowRepeats).toInt());
    o.slowSeconds = parser.value(slowSeconds).toDouble();
    return o;
}

RunFigures runClient(const QString &client, const ReadTarget &target)
{
    if (client == QLatin1String("ours"))
        return RunOurs(QCoreApplication::applicationFilePath(), target);
    if (client == QLatin1String("mbsync"))
        return RunMbsync(target);
    if (client == QLatin1String("python"))
        return RunPython(target);
    RunFigures unknown;
    unknown.error = QStringLiteral("unknown client ") + client;
    return unknown;
}

double mb(qint64 bytes)
{
    return double(bytes) / (1024.0 * 1024.0);
}

void describeFolder(const QList<QByteArray> &messages)
{
    qint64 total = 0;
    qsizetype smallest = messages.value(0).size();
    qsizetype largest = 0;
    for (const QByteArray &m : messages) {
        total += m.size();
        smallest = std::min(smallest, m.size());
        largest = std::max(largest, m.size());
    }
    std::printf("Folder: %lld messages, %.1f MB raw, mean %.1f KB (smallest %.1f KB, largest %.1f KB)\n",
                static_cast<long long>(messages.size()), mb(total), double(total) / messages.size() / 1024.0,
                smallest / 1024.0, largest / 1024.0);
}

using Key = QPair<QString, int>; // (client, rtt)

struct Results {
    QMap<Key, QList<RunFigures>> runs;
    QStringList notes;

    double medianSeconds(const Key &key) const
    {
        QList<double> seconds;
        for (const RunFigures &run : runs.value(key))
            seconds << run.seconds;
        return Median(seconds);
    }
};

void printRun(const QString &client, int rtt, int repeat, const RunFigures &run)
{
    if (!run.ok) {
        std::printf("  %-6s %3d ms  run %d: FAILED %s\n", qPrintable(client), rtt, repeat, qPrintable(run.error));
    } else if (client == QLatin1String("ours")) {
        std::printf("  %-6s %3d ms  run %d: %8.2f s  %5d messages  peak RSS %.1f MB (%.1f MB before reading), "
                    "MailStore texts %.1f MB, error log %.1f MB\n",
                    qPrintable(client), rtt, repeat, run.seconds, run.messages, run.peakRssKb / 1024.0,
                    run.startRssKb / 1024.0, mb(run.textsChars * 2), mb(run.errorLogBytes));
    } else {
        std::printf("  %-6s %3d ms  run %d: %8.2f s  %5d messages\n", qPrintable(client), rtt, repeat, run.seconds,
                    run.messages);
    }
    std::fflush(stdout);
}

void measure(const Options &o, const DovecotFixture &server, ReadTarget target, Results &results)
{
    for (int rtt : o.rtts) {
        DelayProxy proxy(server.port(), rtt);
        if (!proxy.listen()) {
            results.notes << QStringLiteral("no free port for the proxy at %1 ms").arg(rtt);
            continue;
        }
        target.port = proxy.port();
        for (int repeat = 1; repeat <= o.repeats; ++repeat) {
            for (const QString &client : o.clients) {
                const Key key{client, rtt};
                const QList<RunFigures> &done = results.runs[key];
                const bool slow = rtt >= 50 && !done.isEmpty() && done.first().seconds > o.slowSeconds;
                if (slow && repeat > o.slowRepeats) {
                    if (repeat == o.slowRepeats + 1)
                        results.notes << QStringLiteral("%1 at %2 ms: %3 run(s) only, its first took %4 s (> %5 s); "
                                                        "--slow-repeats / --slow-seconds change this")
                                             .arg(client)
                                             .arg(rtt)
                                             .arg(o.slowRepeats)
                                             .arg(done.first().seconds, 0, 'f', 1)
                                             .arg(o.slowSeconds);
                    continue;
                }
                const RunFigures run = runClient(client, target);
                printRun(client, rtt, repeat, run);
                if (run.ok)
                    results.runs[key] << run;
            }
        }
    }
}

void printSummary(const Options &o, const Results &results)
{
    std::printf("\nMedians (seconds for the whole folder, from sign-in to the last message):\n");
    std::printf("  %-6s %6s %5s %10s %10s\n", "client", "RTT ms", "runs", "seconds", "msg/s");
    for (int rtt : o.rtts) {
        for (const QString &client : o.clients) {
            const Key key{client, rtt};
            const QList<RunFigures> runs = results.runs.value(key);
            if (runs.isEmpty())
                continue;
            const double seconds = results.medianSeconds(key);
            std::printf("  %-6s %6d %5lld %10.2f %10.1f\n", qPrintable(client), rtt,
                        static_cast<long long>(runs.size()), seconds, seconds > 0 ? runs.first().messages / seconds : 0);
        }
    }
    std::printf("\nRatios of median seconds (goals: ours/mbsync <= 1.5; python/ours >= 10 at 50 ms):\n");
    std::printf("  %6s %12s %12s\n", "RTT ms", "ours/mbsync", "python/ours");
    for (int rtt : o.rtts) {
        const double ours = results.medianSeconds({QStringLiteral("ours"), rtt});
        const double mbsync = results.medianSeconds({QStringLiteral("mbsync"), rtt});
        const double python = results.medianSeconds({QStringLiteral("python"), rtt});
        std::printf("  %6d %12s %12s\n", rtt,
                    ours > 0 && mbsync > 0 ? qPrintable(QString::number(ours / mbsync, 'f', 2)) : "-",
                    ours > 0 && python > 0 ? qPrintable(QString::number(python / ours, 'f', 2)) : "-");
    }
    QList<double> peaks;
    QList<double> ratios;
    for (auto it = results.runs.begin(); it != results.runs.end(); ++it) {
        if (it.key().first != QLatin1String("ours"))
            continue;
        for (const RunFigures &run : it.value()) {
            peaks << run.peakRssKb / 1024.0;
            if (run.textsChars > 0)
                ratios << double(run.peakRssKb) * 1024.0 / double(run.textsChars * 2);
        }
    }
    if (!peaks.isEmpty())
        std::printf("\nOur reader's memory (median over its runs): peak RSS %.1f MB; peak RSS / MailStore texts "
                    "(UTF-16) %.2f (goal <= 3)\n",
                    Median(peaks), Median(ratios));
    for (const QString &note : results.notes)
        std::printf("Note: %s\n", qPrintable(note));
}

} // namespace

int main(int argc, char **argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (app.arguments().value(1) == QLatin1String("--ours"))
        return RunOurReader(app.arguments().mid(2));
    const Options options = parseOptions(app);
    try {
        DovecotFixture &server = DovecotFixture::instance();
        const QList<QByteArray> messages = BenchMessages(options.messages, options.largeAttachmentEvery);
        describeFolder(messages);
        const QString folder = QStringLiteral("Bench");
        const DovecotFixture::Account account = server.createAccount({{folder, messages}});
        const ReadTarget target{0, account.user, account.password, folder, server.caFile()};

        // Dovecot builds its index on the first read; no client should pay for that.
        DelayProxy warmProxy(server.port(), 0);
        if (!warmProxy.listen())
            throw std::runtime_error("no free port for the proxy");
        ReadTarget warm = target;
        warm.port = warmProxy.port();
        const RunFigures warmUp = RunMbsync(warm);
        std::printf("Warm-up (mbsync, not counted): %s\n",
                    warmUp.ok ? qPrintable(QStringLiteral("%1 s").arg(warmUp.seconds, 0, 'f', 2))
                              : qPrintable(warmUp.error));
        std::printf("Runs:\n");
        Results results;
        measure(options, server, target, results);
        printSummary(options, results);
    } catch (const std::exception &error) {
        std::fprintf(stderr, "reading bench: %s\n", error.what());
        return 1;
    }
    return 0;
}
