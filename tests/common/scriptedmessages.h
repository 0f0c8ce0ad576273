#pragma once

#include "support/messageseam.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

// The message seam for tests: records every box and answers input boxes and modal dialogs from
// a script. Installs itself on construction and puts the Qt dialogs back on destruction.
class ScriptedMessages : public MessageSeam {
public:
    enum class Kind { Message, ErrorReport, Input, Dialog };
    struct Shown {
        Kind kind;
        QString text;    // message text, report text, input prompt, or the dialog's title
        QString caption; // caption / title the box would carry
    };

    ScriptedMessages();
    ~ScriptedMessages() override;

    QList<Shown> shown;
    QStringList messages() const;     // texts of the plain boxes, in order
    QStringList errorReports() const; // texts of the error reports, in order
    void clear() { shown.clear(); }

    // Answers for the next input boxes, in order; nullopt is Cancel. None left: Cancel.
    void queueInput(std::optional<QString> answer);
    // Handlers for the next modal dialogs, in order. The dialog is shown (not modal) before the
    // handler runs; when the handler returns and the dialog is still open, it is rejected.
    // None left: the dialog is rejected at once.
    void queueDialog(std::function<void(QDialog &)> handler);
    // Runs whenever a plain box is shown, with its text (to act "while it is open").
    std::function<void(const QString &)> onMessage;

    void message(const QString &text, const QString &caption) override;
    void errorReport(const QString &text) override;
    QString inputBox(const QString &prompt, const QString &title, const QString &defaultText) override;
    int execDialog(QDialog &dialog) override;

private:
    QList<std::optional<QString>> m_inputs;
    QList<std::function<void(QDialog &)>> m_dialogs;
};
