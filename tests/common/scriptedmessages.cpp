#include "tests/common/scriptedmessages.h"

#include <QDialog>

ScriptedMessages::ScriptedMessages()
{
    MessageSeam::install(this);
}

ScriptedMessages::~ScriptedMessages()
{
    MessageSeam::install(nullptr);
}

static QStringList textsOf(const QList<ScriptedMessages::Shown> &shown, ScriptedMessages::Kind kind)
{
    QStringList texts;
    for (const auto &box : shown) {
        if (box.kind == kind)
            texts.append(box.text);
    }
    return texts;
}

QStringList ScriptedMessages::messages() const
{
    return textsOf(shown, Kind::Message);
}

QStringList ScriptedMessages::errorReports() const
{
    return textsOf(shown, Kind::ErrorReport);
}

void ScriptedMessages::queueInput(std::optional<QString> answer)
{
    m_inputs.append(std::move(answer));
}

void ScriptedMessages::queueDialog(std::function<void(QDialog &)> handler)
{
    m_dialogs.append(std::move(handler));
}

void ScriptedMessages::message(const QString &text, const QString &caption)
{
    shown.append({Kind::Message, text, caption});
    if (onMessage)
        onMessage(text);
}

void ScriptedMessages::errorReport(const QString &text)
{
    shown.append({Kind::ErrorReport, text, QStringLiteral("Application Error")});
}

QString ScriptedMessages::inputBox(const QString &prompt, const QString &title, const QString &)
{
    shown.append({Kind::Input, prompt, title});
    if (m_inputs.isEmpty())
        return QString();
    return m_inputs.takeFirst().value_or(QString());
}

int ScriptedMessages::execDialog(QDialog &dialog)
{
    shown.append({Kind::Dialog, dialog.windowTitle(), dialog.windowTitle()});
    dialog.setResult(QDialog::Rejected); // as exec() does: an old result must not leak through
    if (m_dialogs.isEmpty()) {
        dialog.reject();
        return dialog.result();
    }
    const auto handler = m_dialogs.takeFirst();
    dialog.show();
    handler(dialog);
    if (dialog.isVisible())
        dialog.reject();
    return dialog.result();
}
