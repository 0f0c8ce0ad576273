#pragma once

#include <QString>
#include <functional>

// The error report of every trapped command, and the trap that shows it.
//
//   ErrorTrap trap("Form1", "PushButton1_Click");
//   trap(100, [&] { ... });        // true when the step ran without an error
//   if (!trap(102, [&] { ... })) { ... take the branch a failed step takes ... }
//
// A step that throws shows the "Application Error" box with the description, the location tag
// and the step number, then the command goes on with its next step.
class ErrorTrap {
public:
    ErrorTrap(QString window, QString procedure);
    bool operator()(int step, const std::function<void()> &body);

private:
    QString m_window;
    QString m_procedure;
};

inline constexpr const char *SupportAddress = "support@quorvane.app";

// The report's text, e.g. "Overflow\r\nin Quorvane2021/08/31.Form1.Form_Load at line 104\r\r
// Please email screenshot of this message to ...".
QString ErrorReportText(const QString &description, const QString &window, const QString &procedure, int line);
void ShowErrorReport(const QString &description, const QString &window, const QString &procedure, int line);
