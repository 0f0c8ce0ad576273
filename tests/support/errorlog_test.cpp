#include "mail/errorlog.h"

#include "support/datetext.h"
#include "tests/support/envguard.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>
#include "tests/support/qstringprinter.h"

#include <gtest/gtest.h>

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

TEST_F(ErrorLog, WithoutTempThePlatformTemporaryFolderIsUsed)
{
    temp.unset();
    qputenv("TMPDIR", dir.path().toUtf8());
    EXPECT_EQ(ErrorLogPath(), QDir::toNativeSeparators(QDir::tempPath() + QStringLiteral("/errorlog.txt")));
    AppendErrorLog(QStringLiteral("fallback"));
    EXPECT_TRUE(readAll(dir.filePath(QStringLiteral("errorlog.txt"))).contains(" : fallback\r\n" + Stars + "\r\n"));

    qputenv("TEMP", QByteArray());
    EXPECT_EQ(ErrorLogPath(), QDir::toNativeSeparators(QDir::tempPath() + QStringLiteral("/errorlog.txt")));
}
