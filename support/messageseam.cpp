#include "support/messageseam.h"

#include "support/startup.h"

#include <QApplication>
#include <QDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace {

// The real boxes. Parented to the active window so they sit above it and stay modal to it.
class QtMessageSeam : public MessageSeam {
public:
    void message(const QString &text, const QString &caption) override
    {
        QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::Ok, activeWindow());
        box.exec();
    }

    void errorReport(const QString &text) override
    {
        QMessageBox box(QMessageBox::Warning, QStringLiteral("Application Error"), text, QMessageBox::Ok,
                        activeWindow());
        box.exec();
    }

    QString inputBox(const QString &prompt, const QString &title, const QString &defaultText) override
    {
        bool accepted = false;
        const QString typed =
            QInputDialog::getText(activeWindow(), title, prompt, QLineEdit::Normal, defaultText, &accepted);
        return accepted ? typed : QString();
    }

    int execDialog(QDialog &dialog) override { return dialog.exec(); }

private:
    static QWidget *activeWindow() { return QApplication::activeWindow(); }
};

QtMessageSeam productionSeam;
MessageSeam *installedSeam = nullptr;

} // namespace

MessageSeam &MessageSeam::current()
{
    return installedSeam ? *installedSeam : productionSeam;
}

void MessageSeam::install(MessageSeam *seam)
{
    installedSeam = seam;
}

void MsgBox(const QString &text)
{
    MessageSeam::current().message(text, ApplicationTitle());
}

QString InputBox(const QString &prompt, const QString &defaultText)
{
    return MessageSeam::current().inputBox(prompt, ApplicationTitle(), defaultText);
}
