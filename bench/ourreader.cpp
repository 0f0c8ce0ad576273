#include "bench/ourreader.h"

#include "results/resultslist.h"
#include "tests/common/form1harness.h"
#include "tests/common/processmemory.h"
#include "tests/common/scriptedmessages.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdio>

namespace {

qint64 textsChars(const MailStore &store)
{
    qint64 chars = 0;
    for (qint32 index = 1; index <= store.size(); ++index) {
        const MailRecord r = store.record(index);
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
    const QString &folder = arguments[3];
    // The error log is written as in a real run, into a folder of its own.
    QTemporaryDir temp;
    qputenv("TEMP", QFile::encodeName(temp.path()));
    qputenv("QUORVANE_PING_HOST", "127.0.0.1");
    qputenv("QUORVANE_IMAP_HOST", "localhost");
    qputenv("QUORVANE_IMAP_PORT", arguments[0].toUtf8());
    ScriptedMessages messages;
    Form1Harness::clearSettings();
    const std::unique_ptr<Form1> form = Form1Harness::loadForm1();
    const qint64 startRss = ResidentKb();
    Form1Harness::signIn(*form, arguments[1], arguments[2]);
    if (!Form1Harness::chooseFolder(*form, folder)) {
        std::fprintf(stderr, "sign-in failed or no folder %s: %s\n", qPrintable(folder),
                     qPrintable(messages.messages().join(u'|')));
        return 1;
    }
    messages.clear();

    QElapsedTimer clock;
    clock.start();
    Form1Harness::click(Form1Harness::button(*form, "PushButton3"));
    const double seconds = double(clock.nsecsElapsed()) / 1e9;

    if (messages.messages() != QStringList{QStringLiteral("Done.")} || !messages.errorReports().isEmpty())
        std::fprintf(stderr, "unexpected boxes: %s | reports: %s\n", qPrintable(messages.messages().join(u'|')),
                     qPrintable(messages.errorReports().join(u'|')));
    const qint64 logBytes = QFileInfo(temp.filePath(QStringLiteral("errorlog.txt"))).size();
    std::printf("RESULT seconds=%.3f messages=%d start_rss_kb=%lld peak_rss_kb=%lld texts_chars=%lld log_bytes=%lld\n",
                seconds, form->list().rowCount(), static_cast<long long>(startRss),
                static_cast<long long>(PeakResidentKb()), static_cast<long long>(textsChars(form->mailStore())),
                static_cast<long long>(logBytes));
    return 0;
}
