#pragma once

class QWidget;
class ResultsList;

// "Show List In Larger View" of the main window: the larger view filled from the main list,
// shown modally, then the main counters brought up to date. Its steps report as
// Form1.PushButton8_Click.
class LargerViewCommand {
public:
    // owner: the main window, over which the view is shown.
    LargerViewCommand(ResultsList &mainList, QWidget *owner);

    void PushButton8_Click();

private:
    ResultsList &m_mainList;
    QWidget *m_owner;
};
