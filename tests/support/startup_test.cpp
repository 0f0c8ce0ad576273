#include "support/startup.h"

#include "support/messageseam.h"
#include "tests/common/programfile.h"
#include "tests/common/scriptedmessages.h"

#include "tests/common/printers.h"
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include <gtest/gtest.h>

namespace {

const QColor Designed(10, 200, 30);

void giveWindowColor(QWidget *widget, const QColor &color)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, color);
    widget->setPalette(palette);
}

// A window whose every control has its own designed background.
struct TestWindow {
    QWidget window;
    QRadioButton *radio = new QRadioButton(QStringLiteral("radio"));
    QCheckBox *check = new QCheckBox(QStringLiteral("check"));
    QGroupBox *frame = new QGroupBox(QStringLiteral("frame"));
    QLabel *nestedLabel = new QLabel(QStringLiteral("label in frame"));
    QPushButton *button = new QPushButton(QStringLiteral("button"));
    QLineEdit *edit = new QLineEdit;

    TestWindow()
    {
        auto *layout = new QVBoxLayout(&window);
        auto *frameLayout = new QVBoxLayout(frame);
        frameLayout->addWidget(nestedLabel);
        for (QWidget *control : std::initializer_list<QWidget *>{radio, check, frame, button, edit})
            layout->addWidget(control);
        for (QWidget *widget : std::initializer_list<QWidget *>{&window, radio, check, frame, nestedLabel, button, edit})
            giveWindowColor(widget, Designed);
        button->setAutoFillBackground(false);
    }
};

QColor face()
{
    return QApplication::palette().color(QPalette::Button);
}

class Skin : public ::testing::Test {
protected:
    void TearDown() override { qApp->setStyleSheet(QString()); }
    void expectUntouched()
    {
        EXPECT_TRUE(qApp->styleSheet().isEmpty());
        EXPECT_EQ(w.window.palette().color(QPalette::Window), Designed);
        EXPECT_EQ(w.nestedLabel->palette().color(QPalette::Window), Designed);
    }
    TestWindow w;
};

} // namespace

TEST(StartUp, ApplicationTitleCutsBeforeTheLastBlank)
{
    EXPECT_EQ(ApplicationTitleFor(QStringLiteral("Quorvane")), QStringLiteral("Quorvane"));
    EXPECT_EQ(ApplicationTitleFor(QStringLiteral("Quorvane 2021")), QStringLiteral("Quorvane"));
    EXPECT_EQ(ApplicationTitleFor(QStringLiteral("Quorvane Mail Export Tool")), QStringLiteral("Quorvane Mail Export"));

    const QString sixty = QStringLiteral("Quorvane Mail Export Tool For Folders Of One Account Only Now");
    ASSERT_EQ(sixty.size(), 61);
    EXPECT_EQ(ApplicationTitleFor(sixty), QStringLiteral("Quorvane Mail Export Tool For Folders Of"));

    // Once no blank is left nothing more can be cut, however long the word.
    const QString longWord(45, u'Q');
    EXPECT_EQ(ApplicationTitleFor(longWord + QStringLiteral(" Tool")), longWord);
}

TEST(StartUp, ApplicationTitleCaptionsMessageBoxes)
{
    SetApplicationTitle();
    EXPECT_EQ(ApplicationTitle(), QStringLiteral("Quorvane"));
    ScriptedMessages messages;
    MsgBox(QStringLiteral("hello"));
    messages.queueInput(QStringLiteral("typed"));
    EXPECT_EQ(InputBox(QStringLiteral("prompt"), QStringLiteral("default")), QStringLiteral("typed"));
    ASSERT_EQ(messages.shown.size(), 2);
    EXPECT_EQ(messages.shown[0].caption, QStringLiteral("Quorvane"));
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("hello"));
    EXPECT_EQ(messages.shown[1].caption, QStringLiteral("Quorvane"));
    EXPECT_EQ(messages.shown[1].text, QStringLiteral("prompt"));
}

TEST(StartUp, FileExistsForAnythingWithADate)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString file = dir.filePath(QStringLiteral("present.txt"));
    QFile out(file);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.close();

    EXPECT_TRUE(FileExists(file));
    EXPECT_TRUE(FileExists(dir.path())); // a folder has a date too
    EXPECT_FALSE(FileExists(dir.filePath(QStringLiteral("missing.txt"))));
    EXPECT_FALSE(FileExists(dir.filePath(QStringLiteral("missing/deeper.txt"))));
    EXPECT_FALSE(FileExists(QString()));
}

TEST(StartUp, FaceColorOnlyOnWindowOptionsChecksFramesAndLabels)
{
    TestWindow w;
    ApplySystemFaceColor(&w.window);
    ASSERT_NE(face(), Designed);
    for (QWidget *painted : std::initializer_list<QWidget *>{&w.window, w.radio, w.check, w.frame, w.nestedLabel}) {
        EXPECT_EQ(painted->palette().color(QPalette::Window), face()) << painted->metaObject()->className();
        EXPECT_TRUE(painted->autoFillBackground()) << painted->metaObject()->className();
    }
    for (QWidget *kept : std::initializer_list<QWidget *>{w.button, w.edit}) {
        EXPECT_EQ(kept->palette().color(QPalette::Window), Designed) << kept->metaObject()->className();
        EXPECT_FALSE(kept->autoFillBackground()) << kept->metaObject()->className();
    }
}

TEST_F(Skin, NoSkinFileChangesNothing)
{
    ASSERT_FALSE(QFile::exists(ProgramFolder() + QStringLiteral("/x/o.qss")));
    ApplySkin(&w.window);
    expectUntouched();
}

TEST_F(Skin, SkinFileBecomesTheStyleSheet)
{
    const ProgramFile skin(QStringLiteral("x/o.qss"));
    ASSERT_TRUE(skin.isOurs());
    const QByteArray sheet = "QPushButton { color: #123456; } /* \xc3\xa4 */\n";
    ASSERT_TRUE(skin.write(sheet));
    ApplySkin(&w.window);
    EXPECT_EQ(qApp->styleSheet(), QString::fromUtf8(sheet));
    EXPECT_EQ(w.window.palette().color(QPalette::Window), face());
    EXPECT_EQ(w.nestedLabel->palette().color(QPalette::Window), face());
    EXPECT_EQ(w.button->palette().color(QPalette::Window), Designed);
}

TEST_F(Skin, BinaryOrHugeSkinFileIsIgnored)
{
    const ProgramFile skin(QStringLiteral("x/o.qss"));
    ASSERT_TRUE(skin.isOurs());
    ASSERT_TRUE(skin.write(QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR\xff\xfe", 18)));
    ApplySkin(&w.window);
    expectUntouched();

    ASSERT_TRUE(skin.write(QByteArray(1024 * 1024 + 1, ' ')));
    ApplySkin(&w.window);
    expectUntouched();

    ASSERT_TRUE(skin.makeFolder()); // a folder by the skin's name
    ApplySkin(&w.window);
    expectUntouched();
}
