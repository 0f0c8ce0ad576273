// The error log's folder disappears while a retrieval writes to it.
#include "app/settingsstore.h"
#include "devserver/dovecotfixture.h"
#include "devserver/scratchdir.h"
#include "tests/common/envguard.h"
#include "tests/common/form1harness.h"
#include "tests/common/printers.h"
#include "tests/common/scriptedmessages.h"

#include <QDir>
#include <QFile>
#include <QTimer>
#include <QAbstractItemView>
#include <gtest/gtest.h>

using namespace Form1Harness;

namespace {

constexpr int Messages = 8;

int entriesIn(const QString &path)
{
    QFile log(path);
    return log.open(QIODevice::ReadOnly) ? int(log.readAll().count(QByteArray(52, '*') + "\r\n")) : 0;
}

} // namespace

TEST(ErrorLogRun, AVanishedLogFolderLosesItsEntriesQuietlyAndTheRunGoesOn)
{
    clearSettings();
    SaveSetting(QStringLiteral("Combo2"), QStringLiteral("0")); // the account has two folders
    qputenv("QUORVANE_PING_HOST", "127.0.0.1");
    DovecotFixture &dovecot = DovecotFixture::instance();
    dovecot.exportEnvironment();
    QList<QByteArray> raw;
    for (int n = 1; n <= Messages; ++n)
        raw << "From: Sender <s@x.example>\r\nSubject: message " + QByteArray::number(n)
                + "\r\nDate: Tue, 31 Aug 2021 15:45:12 +0000\r\n\r\nbody\r\n";
    const auto account = dovecot.createAccount({{QStringLiteral("Work"), raw}});

    const QString temp = MakeScratchDir(QStringLiteral("errorlogrun"));
    const QString log = QDir(temp).filePath(QStringLiteral("errorlog.txt"));
    const EnvGuard tempGuard("TEMP", QFile::encodeName(temp));
    ScriptedMessages boxes;
    auto form = loadForm1();
    signIn(*form, account.user, account.password);
    ASSERT_TRUE(chooseFolder(*form, QStringLiteral("Work"))) << boxes.messages().join(u'|').toStdString();

    // At every yield of the run: once the first entry is there, the folder goes.
    int entriesBeforeRemoval = -1;
    QTimer remover;
    QObject::connect(&remover, &QTimer::timeout, [&] {
        if (entriesBeforeRemoval < 0 && entriesIn(log) > 0) {
            entriesBeforeRemoval = entriesIn(log);
            QDir(temp).removeRecursively();
        }
    });
    remover.start(0);
    click(button(*form, "PushButton3"));
    remover.stop();

    ASSERT_GE(entriesBeforeRemoval, 1);
    EXPECT_LT(entriesBeforeRemoval, Messages) << "the folder went before the run's end";
    EXPECT_EQ(control<QAbstractItemView>(*form, "ListView1")->model()->rowCount(), Messages);
    EXPECT_EQ(boxes.messages(), QStringList{QStringLiteral("Done.")});
    EXPECT_TRUE(boxes.errorReports().isEmpty()) << boxes.errorReports().join(u'|').toStdString();
    EXPECT_FALSE(QFileInfo::exists(temp)) << "the log does not make its folder again";

    // The folder back: the next run logs again, one entry per fetch.
    ASSERT_TRUE(QDir().mkpath(temp));
    boxes.clear();
    click(button(*form, "PushButton3"));
    EXPECT_EQ(boxes.messages(), QStringList{QStringLiteral("Done.")});
    EXPECT_EQ(entriesIn(log), Messages);
    QDir(temp).removeRecursively();
}
