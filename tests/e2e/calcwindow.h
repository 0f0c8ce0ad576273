#pragma once

#include <QProcess>
#include <QString>

class XSession;

// LibreOffice Calc on the private X server, showing one workbook. It runs with a home and a
// profile of its own (CI runs as root: no one's profile is touched) and ends with this object.
class CalcWindow {
public:
    CalcWindow(XSession &x, const QString &workbook, const QString &home);
    ~CalcWindow();

    // Waits until the workbook's window is on the screen and drawn. Throws std::runtime_error
    // with LibreOffice's output when it does not come in time.
    void waitUntilShown(int timeoutMs = 60000);
    // Moves the cell cursor through the Name Box, e.g. "F1", and waits for the screen to settle.
    void goTo(const QString &cell);

private:
    [[noreturn]] void fail(const std::string &what);
    void waitForStillScreen(int timeoutMs);

    XSession &m_x;
    QString m_title;
    QProcess m_process;
};
