#include "support/cmdoutput.h"

#include "support/apperror.h"
#include "tests/common/envguard.h"
#include "tests/common/scriptedmessages.h"

#include "tests/common/printers.h"
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

using CmdOutput::GetCommandOutput;

namespace {

const QString FailedToCreate = QString::fromLatin1(CmdOutput::FailedToCreateProcess);
const QString OfflineWarning = QStringLiteral("You must be online to use this software accurately.");

QStringList onlineCheckMessages(const QString &host)
{
    const EnvGuard pingHost("QUORVANE_PING_HOST", host.toUtf8());
    ScriptedMessages messages;
    CmdOutput::CheckOnline();
    return messages.messages();
}

} // namespace

TEST(CmdOutput, SilentCommandGivesEmptyText)
{
    EXPECT_EQ(GetCommandOutput(QStringLiteral("true"), true, false, false), QString());
    EXPECT_EQ(GetCommandOutput(QStringLiteral("true"), true, true, true), QString());
}

TEST(CmdOutput, LongOutputComesBackWholeAndInOrder)
{
    QString expected;
    for (int i = 1; i <= 5000; ++i)
        expected += QString::number(i) + u'\n';
    ASSERT_GT(expected.size(), 20000);
    EXPECT_EQ(GetCommandOutput(QStringLiteral("seq 1 5000"), true, false, false), expected);
}

TEST(CmdOutput, MultiByteCharactersSurviveTheChunkBoundary)
{
    // 1023 ASCII bytes put the two bytes of "ä" on both sides of the first 1024-byte read.
    const QString text = QString(1023, u'a') + QStringLiteral("äöü € 漢字 end");
    for (const bool oem : {true, false})
        EXPECT_EQ(GetCommandOutput(QStringLiteral("printf \"%1\"").arg(text), true, false, oem), text) << oem;
}

TEST(CmdOutput, ChosenStreamsAreCaptured)
{
    const QString command = QStringLiteral("sh -c \"echo out; echo err >&2\"");
    EXPECT_EQ(GetCommandOutput(command, true, false, false), QStringLiteral("out\n"));
    EXPECT_EQ(GetCommandOutput(command, false, true, false), QStringLiteral("err\n"));
    EXPECT_EQ(GetCommandOutput(command, true, true, false), QStringLiteral("out\nerr\n"));
}

TEST(CmdOutput, MissingProgramGivesTheFailureText)
{
    EXPECT_EQ(GetCommandOutput(QStringLiteral("/nonexistent/quorvane-no-such-program -x"), true, false, true),
              FailedToCreate);
    EXPECT_EQ(GetCommandOutput(QStringLiteral("quorvane-no-such-program"), true, true, false), FailedToCreate);
    EXPECT_EQ(GetCommandOutput(QString(), true, false, false), FailedToCreate);
}

TEST(CmdOutput, NeitherStreamIsAnErrorAndStartsNothing)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString marker = dir.filePath(QStringLiteral("started"));
    try {
        GetCommandOutput(QStringLiteral("touch ") + marker, false, false, false);
        ADD_FAILURE() << "no error raised";
    } catch (const AppError &error) {
        EXPECT_EQ(error.description(), QStringLiteral("Invalid procedure call or argument"));
    }
    EXPECT_FALSE(QFile::exists(marker));
    // The same command with a stream does run, so the check above can tell.
    GetCommandOutput(QStringLiteral("touch ") + marker, true, false, false);
    EXPECT_TRUE(QFile::exists(marker));
}

TEST(CmdOutput, EventsAreHandledWhileTheChildRuns)
{
    bool timerFired = false;
    QTimer::singleShot(100, [&] { timerFired = true; });
    const QString output = GetCommandOutput(QStringLiteral("sh -c \"sleep 1; echo done\""), true, false, false);
    EXPECT_EQ(output, QStringLiteral("done\n"));
    EXPECT_TRUE(timerFired);
}

TEST(CmdOutput, EndlessOutputIsCappedAndTheChildEnded)
{
    const QString output = GetCommandOutput(QStringLiteral("yes"), true, false, false);
    EXPECT_EQ(output.size(), 16 * 1024 * 1024);
    EXPECT_TRUE(output.startsWith(QStringLiteral("y\ny\n")));
}

TEST(CmdOutput, OnlineCheckWarnsOnlyWithoutAReply)
{
    EXPECT_EQ(onlineCheckMessages(QStringLiteral("127.0.0.1")), QStringList());
    EXPECT_EQ(onlineCheckMessages(QStringLiteral("nonexistent.invalid")), QStringList{OfflineWarning});
}

TEST(CmdOutput, OnlineCheckHostCanBeOverridden)
{
    const EnvGuard pingHost("QUORVANE_PING_HOST", "example.test");
    EXPECT_EQ(CmdOutput::onlineCheckHost(), QStringLiteral("example.test"));
    pingHost.unset();
    EXPECT_FALSE(CmdOutput::onlineCheckHost().isEmpty());
}
