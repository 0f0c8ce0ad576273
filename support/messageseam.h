#pragma once

#include <QString>

class QDialog;

// Every message box, input box and modal dialog goes through here, so that tests can
// answer them. Production shows Qt dialogs; tests install their own seam.
class MessageSeam {
public:
    virtual ~MessageSeam() = default;

    // Plain box: OK only, no icon.
    virtual void message(const QString &text, const QString &caption) = 0;
    // The "Application Error" box: OK only, exclamation icon.
    virtual void errorReport(const QString &text) = 0;
    // Returns the typed text, or empty text on Cancel.
    virtual QString inputBox(const QString &prompt, const QString &title, const QString &defaultText) = 0;
    // Shows a dialog modally and returns its result code.
    virtual int execDialog(QDialog &dialog) = 0;

    static MessageSeam &current();
    // Tests install their own; nullptr puts the Qt dialogs back.
    static void install(MessageSeam *seam);
};

// A plain message box captioned with the application title.
void MsgBox(const QString &text);
// An input box titled with the application title; Cancel gives empty text.
QString InputBox(const QString &prompt, const QString &defaultText = QString());
