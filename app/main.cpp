#include "app/form1.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <cstdio>
#include <cstdlib>

namespace {
// The program's own icon, drawn for each size so the small ones stay sharp.
QIcon programIcon()
{
    QIcon icon;
    for (const QFileInfo &picture : QDir(QStringLiteral(":/icon")).entryInfoList(QDir::Files))
        icon.addFile(picture.filePath());
    return icon;
}
} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setWindowIcon(programIcon());
    // Ties the window to its menu entry, which is where Wayland desktops take the icon from.
    QGuiApplication::setDesktopFileName(QStringLiteral("app.quorvane.Quorvane"));

    Form1 form;
    // Closing the main window ends the program at once, even while a command waits in a
    // nested event loop. Every setting was stored when it changed, so nothing is lost.
    QObject::connect(&form, &Form1::unloaded, [] {
        std::fflush(nullptr);
        std::_Exit(0);
    });
    form.Form_Load();
    form.show();
    return app.exec();
}
