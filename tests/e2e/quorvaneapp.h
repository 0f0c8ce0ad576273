#pragma once

#include "tests/e2e/probestate.h"

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <functional>

class XSession;

// The real quorvane executable on the private X server, with a home of its own: settings,
// documents and temporary folder under `home`, a stand-in spreadsheet program and an xdg-open
// that records what it is asked to open. Its window probe tells where the controls are.
class QuorvaneApp {
public:
    QuorvaneApp(XSession &x, const QString &home, const QProcessEnvironment &extra);
    ~QuorvaneApp(); // ends the program

    ProbeState state() const;
    // Waits for the condition; throws with `what`, the windows shown and the program's output
    // when the time runs out, the program ends, or a message box the wait did not ask for appears.
    ProbeState waitFor(const QString &what, const std::function<bool(const ProbeState &)> &condition,
                       int timeoutMs = 60000);
    QJsonObject waitForWidget(const QString &name);
    void click(const QString &name); // a real click in the middle of a visible widget
    // Waits for a message box with this text, answers it with the Return key, waits for it to go.
    void answerMessageBox(const QString &text, int timeoutMs = 60000);

    qint64 processId() const { return m_process.processId(); }
    QString settingsFile() const;
    QString errorLogFile() const;
    QString documentsDir() const;
    QString openedFile() const; // what xdg-open was asked to open, one line per call

private:
    static QProcessEnvironment desktop(const QString &home);
    [[noreturn]] void fail(const QString &why) const;

    XSession &m_x;
    QString m_home;
    QString m_probeFile;
    mutable QProcess m_process;
};
