// The settings store when its file is not what it should be: refused writes, garbage, broken
// syntax, a folder in its place, and very long values.
#include "app/settingsstore.h"
#include "tests/common/filemode.h"
#include "tests/common/filesizelimit.h"
#include "tests/common/form1harness.h"
#include "tests/common/printers.h"
#include "tests/common/scriptedmessages.h"

#include <QAbstractItemView>
#include <QDir>
#include <QFile>
#include <QTest>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <random>

using namespace Form1Harness;

namespace {

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        QDir(settingsFilePath()).removeRecursively();
        clearSettings();
        qputenv("QUORVANE_PING_HOST", "127.0.0.1");
    }
    void TearDown() override { QDir(settingsFilePath()).removeRecursively(); }

    static void writeFile(const QByteArray &bytes)
    {
        QFile file(settingsFilePath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

    // The window started and took the first-start state: nothing remembered, nothing shown.
    void expectFirstStartState(const Form1 &form) const
    {
        EXPECT_TRUE(boxes.shown.isEmpty()) << boxes.errorReports().join(u'|').toStdString();
        EXPECT_FALSE(control<QCheckBox>(form, "Check1")->isChecked());
        EXPECT_FALSE(control<QCheckBox>(form, "Check2")->isEnabled());
        EXPECT_TRUE(control<QLineEdit>(form, "Text1")->text().isEmpty());
        EXPECT_EQ(button(form, "PushButton1")->text(), QStringLiteral("1. Connect"));
        EXPECT_EQ(control<QAbstractItemView>(form, "ListView1")->model()->columnCount(), 6);
    }

    // "Remember me", an ID and a password, then a restart: they must come back.
    void expectRememberedAcrossARestart()
    {
        auto form = loadForm1();
        click(control<QCheckBox>(*form, "Check1"));
        QTest::keyClicks(control<QLineEdit>(*form, "Text1"), QStringLiteral("ann"));
        QTest::keyClicks(control<QLineEdit>(*form, "Text2"), QStringLiteral("pw"));
        form.reset();
        EXPECT_THAT(settingsFileText().toStdString(), testing::HasSubstr("User=ann"));
        auto again = loadForm1();
        EXPECT_TRUE(control<QCheckBox>(*again, "Check1")->isChecked());
        EXPECT_EQ(control<QLineEdit>(*again, "Text1")->text(), QStringLiteral("ann"));
        EXPECT_EQ(control<QLineEdit>(*again, "Text2")->text(), QStringLiteral("pw"));
    }

    ScriptedMessages boxes;
};

} // namespace

TEST_F(SettingsFile, GarbageBytesStartLikeAFirstStartAndAreReplacedByTheNextWrite)
{
    std::mt19937 random(20261208);
    QByteArray garbage;
    for (int i = 0; i < 4096; ++i)
        garbage += char(random() % 256);
    writeFile(garbage);
    expectFirstStartState(*loadForm1());
    expectRememberedAcrossARestart();
}

TEST_F(SettingsFile, BrokenIniSyntaxStartsAndIsReplacedByTheNextWrite)
{
    writeFile("[Quorvane\nStayConnected\n=1\n[[Quorvane]]]\nUser=\"unterminated\n\\\n[Quorvane]\nAutoConnect=\"1\n");
    auto form = loadForm1();
    EXPECT_TRUE(boxes.errorReports().isEmpty()) << boxes.errorReports().join(u'|').toStdString();
    EXPECT_EQ(button(*form, "PushButton1")->text(), QStringLiteral("1. Connect"));
    form.reset();
    expectRememberedAcrossARestart();
}

TEST_F(SettingsFile, RefusedWritesAreNotReportedAndLeaveTheFileAsItWas)
{
    SaveSetting(QStringLiteral("StayConnected"), QStringLiteral("1"));
    SaveSetting(QStringLiteral("User"), QStringLiteral("kept"));
    SaveSetting(QStringLiteral("Password"), QStringLiteral("pw"));
    const QString before = settingsFileText();
    {
        // No file may grow: every write of the store fails, reading still works.
        const FileSizeLimit refused(0);
        auto form = loadForm1();
        EXPECT_EQ(control<QLineEdit>(*form, "Text1")->text(), QStringLiteral("kept"));
        QTest::keyClicks(control<QLineEdit>(*form, "Text1"), QStringLiteral("xyz"));
        click(control<QCheckBox>(*form, "Check2"));
        click(control<QCheckBox>(*form, "Check1")); // unchecking empties both fields
        EXPECT_TRUE(control<QLineEdit>(*form, "Text1")->text().isEmpty());
        EXPECT_TRUE(boxes.shown.isEmpty()) << boxes.errorReports().join(u'|').toStdString();
        EXPECT_EQ(settingsFileText(), before) << "a refused write must not cut the file short";
    }
}

TEST_F(SettingsFile, AFolderInPlaceOfTheFileStartsLikeAFirstStart)
{
    QFile::remove(settingsFilePath());
    ASSERT_TRUE(QDir().mkpath(settingsFilePath()));
    auto form = loadForm1();
    expectFirstStartState(*form);
    click(control<QCheckBox>(*form, "Check1"));
    QTest::keyClicks(control<QLineEdit>(*form, "Text1"), QStringLiteral("ann"));
    EXPECT_TRUE(boxes.shown.isEmpty()) << boxes.errorReports().join(u'|').toStdString();
    EXPECT_TRUE(QFileInfo(settingsFilePath()).isDir());
}

TEST_F(SettingsFile, AHundredThousandCharacterValueRoundTripsAndTheWindowStartsWithIt)
{
    QString mixed;
    const QString pieces = QStringLiteral("a=b;c[d]e\"f\\g,h ü\u20ac#\n");
    while (mixed.size() < 100000)
        mixed += pieces;
    mixed.truncate(100000);
    SaveSetting(QStringLiteral("Combo2"), mixed);
    EXPECT_EQ(GetSetting(QStringLiteral("Combo2"), QString()), mixed);

    // An ID that long, remembered: the window starts with the whole of it, and starting does
    // not change what is stored.
    QString id;
    for (int i = 0; id.size() < 100000; ++i)
        id += QString::number(i % 10);
    SaveSetting(QStringLiteral("StayConnected"), QStringLiteral("1"));
    SaveSetting(QStringLiteral("User"), id);
    SaveSetting(QStringLiteral("Password"), id);
    auto form = loadForm1();
    EXPECT_TRUE(boxes.shown.isEmpty()) << boxes.errorReports().join(u'|').toStdString();
    EXPECT_EQ(control<QLineEdit>(*form, "Text1")->text().size(), id.size());
    EXPECT_EQ(control<QLineEdit>(*form, "Text2")->text().size(), id.size());
    EXPECT_EQ(GetSetting(QStringLiteral("User"), QString()), id);
    EXPECT_EQ(GetSetting(QStringLiteral("Password"), QString()), id);
    EXPECT_EQ(button(*form, "PushButton1")->text(), QStringLiteral("1. Connect"));
}

TEST_F(SettingsFile, TheFileAndTheFolderMadeForItAreTheUsersAloneWhateverTheUmask)
{
    const UmaskGuard umask(022);
    const QString folder = QFileInfo(settingsFilePath()).absolutePath();
    ASSERT_TRUE(QDir(folder).removeRecursively());
    SaveSetting(QStringLiteral("User"), QStringLiteral("ann"));
    EXPECT_EQ(FileMode(folder), 0700);
    EXPECT_EQ(FileMode(settingsFilePath()), 0600);

    // A file an earlier version left readable to all is the user's alone after the next write.
    ASSERT_TRUE(QFile::setPermissions(settingsFilePath(), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup
                                                              | QFile::ReadOther));
    SaveSetting(QStringLiteral("User"), QStringLiteral("bob"));
    EXPECT_EQ(FileMode(settingsFilePath()), 0600);
    EXPECT_EQ(GetSetting(QStringLiteral("User"), QString()), QStringLiteral("bob"));
}
