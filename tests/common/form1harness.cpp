#include "tests/common/form1harness.h"

#include "support/textprogressbar.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {
// QSettings settles on its folder at first use, so the folder is set before anything runs.
struct ConfigFolder {
    QTemporaryDir dir;
    ConfigFolder() { qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit()); }
};
ConfigFolder &configFolder()
{
    static ConfigFolder folder;
    return folder;
}
[[maybe_unused]] const bool ConfigFolderReady = (configFolder(), true);
// The load sequence's online check pings the loopback unless told otherwise: no window of a test
// or a bench reaches the network.
[[maybe_unused]] const bool PingLoopback
    = qEnvironmentVariableIsSet("QUORVANE_PING_HOST") || qputenv("QUORVANE_PING_HOST", "127.0.0.1");
} // namespace

namespace Form1Harness {

void clearSettings()
{
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Kestrelby"));
    store.clear();
    store.sync();
}

QString settingsFilePath()
{
    return QDir(configFolder().dir.path()).filePath(QStringLiteral("Kestrelby.conf"));
}

QString settingsFileText()
{
    QFile file(settingsFilePath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

std::unique_ptr<Form1> loadForm1()
{
    auto form = std::make_unique<Form1>();
    form->Form_Load();
    form->show();
    return form;
}

void click(QWidget *widget)
{
    // A check box reacts only on its indicator and text, not on the rest of its row.
    const QPoint at = qobject_cast<QCheckBox *>(widget) ? QPoint(6, widget->height() / 2) : widget->rect().center();
    QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, at);
}

QString status(const Form1 &form)
{
    return control<TextProgressBar>(form, "ProgressBar1")->text();
}

void signIn(Form1 &form, const QString &user, const QString &password)
{
    QTest::keyClicks(control<QLineEdit>(form, "Text1"), user);
    QTest::keyClicks(control<QLineEdit>(form, "Text2"), password);
    click(button(form, "PushButton1"));
}

bool chooseFolder(Form1 &form, const QString &name)
{
    QComboBox *folders = control<QComboBox>(form, "Combo2");
    folders->setCurrentIndex(folders->findText(name));
    return folders->currentText() == name;
}

} // namespace Form1Harness
