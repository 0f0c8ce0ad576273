#include "mail/errorlog.h"

#include "support/datetext.h"
#include "tests/common/childrun.h"
#include "tests/common/envguard.h"
#include "tests/common/filemode.h"

#include "tests/common/printers.h"
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <optional>

namespace {

const QByteArray Stars(52, '*');

QByteArray readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QDateTime nowToTheSecond()
{
    QDateTime now = QDateTime::currentDateTime();
    now.setTime(QTime(now.time().hour(), now.time().minute(), now.time().second()));
    return now;
}

class ErrorLog : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QTemporaryDir dir;
    EnvGuard temp{"TEMP"};
    EnvGuard tmpdir{"TMPDIR"};
};

} // namespace

TEST_F(ErrorLog, PathIsTempFolderAndFileName)
{
    qputenv("TEMP", dir.path().toUtf8());
    EXPECT_EQ(ErrorLogPath(), dir.path() + QDir::separator() + QStringLiteral("errorlog.txt"));
}

TEST_F(ErrorLog, EntriesAreAppendedAsTwoLinesEach)
{
    qputenv("TEMP", dir.path().toUtf8());
    const QString path = dir.filePath(QStringLiteral("errorlog.txt"));
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("earlier\r\n");
    }

    const QDateTime before = nowToTheSecond();
    AppendErrorLog(QStringLiteral("First failure"));
    AppendErrorLog(QStringLiteral("Grüße\r\nsecond line"));
    const QDateTime after = nowToTheSecond();

    const QByteArray log = readAll(path);
    const QRegularExpression shape(QStringLiteral(
        "^earlier\r\n(.+) : First failure\r\n\\*{52}\r\n(.+) : Grüße\r\nsecond line\r\n\\*{52}\r\n$"));
    const QRegularExpressionMatch match = shape.match(QString::fromUtf8(log));
    ASSERT_TRUE(match.hasMatch()) << log.toStdString();

    QByteArray expected = "earlier\r\n";
    for (int entry = 1; entry <= 2; ++entry) {
        const std::optional<QDateTime> stamp = TextToDate(match.captured(entry));
        ASSERT_TRUE(stamp.has_value()) << match.captured(entry).toStdString();
        EXPECT_GE(*stamp, before);
        EXPECT_LE(*stamp, after);
        expected += DateToText(*stamp).toUtf8() + " : "
            + (entry == 1 ? QByteArray("First failure") : QByteArray("Gr\xc3\xbc\xc3\x9f" "e\r\nsecond line"))
            + "\r\n" + Stars + "\r\n";
    }
    EXPECT_EQ(log, expected);
}

TEST_F(ErrorLog, MissingTempFolderIsIgnored)
{
    const QString missing = dir.filePath(QStringLiteral("no/such/folder"));
    qputenv("TEMP", missing.toUtf8());
    AppendErrorLog(QStringLiteral("lost"));
    EXPECT_FALSE(QFile::exists(missing + QStringLiteral("/errorlog.txt")));
    EXPECT_FALSE(QDir(dir.filePath(QStringLiteral("no"))).exists());
}

TEST_F(ErrorLog, WithoutTempAFolderOfTheUsersOwnIsMadeForIt)
{
    const UmaskGuard umask(022);
    const EnvGuard home("HOME", QFile::encodeName(dir.path()));
    const EnvGuard state("XDG_STATE_HOME");
    const struct {
        QByteArray stateHome;
        QString folder;
    } cases[] = {
        {QByteArray(), dir.filePath(QStringLiteral(".local/state/Quorvane"))},
        {QFile::encodeName(dir.filePath(QStringLiteral("state"))), dir.filePath(QStringLiteral("state/Quorvane"))},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.folder.toStdString());
        qputenv("XDG_STATE_HOME", c.stateHome);
        const QString log = c.folder + QStringLiteral("/errorlog.txt");
        qputenv("TEMP", QByteArray());
        EXPECT_EQ(ErrorLogPath(), log);
        qunsetenv("TEMP");
        EXPECT_EQ(ErrorLogPath(), log);
        AppendErrorLog(QStringLiteral("fallback"));
        EXPECT_TRUE(readAll(log).contains(" : fallback\r\n" + Stars + "\r\n"));
        EXPECT_EQ(FileMode(log), 0600);
        for (QString made = c.folder; made != dir.path(); made = QFileInfo(made).path())
            EXPECT_EQ(FileMode(made), 0700) << made.toStdString();
    }
}

TEST_F(ErrorLog, ASymlinkAtTheLogsNameIsNotFollowed)
{
    if (!RunInChild(PrivateTmp()))
        return;
    // A file another user's symlink points at; /tmp is a tmpfs of this test's own.
    const QString victim = dir.filePath(QStringLiteral("victim"));
    const EnvGuard state("XDG_STATE_HOME", QFile::encodeName(dir.filePath(QStringLiteral("state"))));
    const QString ownLog = dir.filePath(QStringLiteral("state/Quorvane/errorlog.txt"));
    QTemporaryDir privateTemp;
    const struct {
        const char *name;
        std::optional<QString> temp;
        QString planted;
        bool loggedInOwnFolder;
    } cases[] = {
        {"TEMP is the shared /tmp", QStringLiteral("/tmp"), QStringLiteral("/tmp/errorlog.txt"), true},
        {"no TEMP", std::nullopt, QStringLiteral("/tmp/errorlog.txt"), true},
        {"TEMP is a private folder", privateTemp.path(), privateTemp.filePath(QStringLiteral("errorlog.txt")), false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        for (const QString &path : {victim, c.planted, ownLog})
            QFile::remove(path);
        ASSERT_TRUE(QFile::link(victim, c.planted));
        c.temp ? qputenv("TEMP", QFile::encodeName(*c.temp)) : qunsetenv("TEMP");
        AppendErrorLog(QStringLiteral("entry"));
        EXPECT_FALSE(QFile::exists(victim)) << "a dangling symlink decided where the log went";

        ASSERT_TRUE(QFile(victim).open(QIODevice::WriteOnly));
        AppendErrorLog(QStringLiteral("entry"));
        EXPECT_EQ(QFileInfo(victim).size(), 0) << "the log was appended through a symlink";
        EXPECT_TRUE(QFileInfo(c.planted).isSymLink());
        EXPECT_EQ(readAll(ownLog).count(" : entry\r\n"), c.loggedInOwnFolder ? 2 : 0);
    }
}
