#pragma once

#include <QString>
#include <functional>

class ResultsList;

// Check All, Uncheck All, the two text rules and Clear List, written once for any window's list.
// Each command traps its steps with the window's name and the handler's name.
class SelectionCommands {
public:
    // isBusy: whether the window shows the busy pointer (Clear List leaves the rows alone then).
    SelectionCommands(QString windowName, ResultsList &list, bool &bRuleMatched, std::function<bool()> isBusy);

    void PushButton5_Click();  // Check All
    void PushButton6_Click();  // Uncheck All
    void PushButton9_Click();  // Check Emails Containing...
    void PushButton10_Click(); // Check Emails Not Containing...
    void PushButton7_Click();  // Clear List
    void ListView1_ItemCheck();

    bool isBusy() const { return m_isBusy(); }

private:
    void setAll(const QString &procedure, bool checked);
    void checkByRule(const QString &procedure, bool containing);

    QString m_window;
    ResultsList &m_list;
    bool &m_bRuleMatched;
    std::function<bool()> m_isBusy;
};
