#include "support/startup.h"

#include <QApplication>
#include <QCheckBox>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QStringDecoder>
#include <QWidget>
#include <optional>

namespace {

QString applicationTitle;

// A style sheet larger than this is not a skin but a wrong file.
constexpr qint64 MaxSkinBytes = 1024 * 1024;

void paintFace(QWidget *widget, const QColor &face)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, face);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

bool takesFaceColor(const QWidget *widget)
{
    return qobject_cast<const QRadioButton *>(widget) || qobject_cast<const QCheckBox *>(widget)
        || qobject_cast<const QGroupBox *>(widget) || qobject_cast<const QLabel *>(widget);
}

// The style sheet text, or nothing when the file is unreadable, too large or not UTF-8 text.
std::optional<QString> readStyleSheet(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxSkinBytes)
        return std::nullopt;
    const QByteArray bytes = file.read(MaxSkinBytes + 1);
    if (bytes.size() > MaxSkinBytes || bytes.contains('\0'))
        return std::nullopt;
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(bytes);
    if (utf8.hasError())
        return std::nullopt;
    return text;
}

} // namespace

QString ProgramFolder()
{
    return QCoreApplication::applicationDirPath();
}

bool FileExists(const QString &path)
{
    // Like asking for the file's date: anything with a date counts, a folder included.
    return !path.isEmpty() && QFileInfo(path).lastModified().isValid();
}

void ApplySystemFaceColor(QWidget *window)
{
    if (!window)
        return;
    const QColor face = QApplication::palette().color(QPalette::Button);
    paintFace(window, face);
    const QList<QWidget *> children = window->findChildren<QWidget *>();
    for (QWidget *child : children)
        if (takesFaceColor(child))
            paintFace(child, face);
}

void ApplySkin(QWidget *mainWindow)
{
    const QString skinFile = ProgramFolder() + QStringLiteral("/x/o.qss");
    if (!FileExists(skinFile))
        return;
    const std::optional<QString> styleSheet = readStyleSheet(skinFile);
    if (!styleSheet)
        return;
    ApplySystemFaceColor(mainWindow);
    qApp->setStyleSheet(*styleSheet);
}

QString ApplicationTitleFor(const QString &productTitle)
{
    QString title = productTitle;
    qsizetype blank = title.lastIndexOf(u' ');
    if (blank < 0)
        return title;
    do {
        title.truncate(blank);
        blank = title.lastIndexOf(u' ');
    } while (title.size() > 40 && blank >= 0);
    return title;
}

void SetApplicationTitle()
{
    applicationTitle = ApplicationTitleFor(QString::fromLatin1(ProductTitle));
}

QString ApplicationTitle()
{
    return applicationTitle.isEmpty() ? ApplicationTitleFor(QString::fromLatin1(ProductTitle)) : applicationTitle;
}
