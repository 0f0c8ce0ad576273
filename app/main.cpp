#include "app/form1.h"

#include <QApplication>
#include <QStyle>
#include <cstdio>
#include <cstdlib>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setWindowIcon(QApplication::style()->standardIcon(QStyle::SP_DriveNetIcon));

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
