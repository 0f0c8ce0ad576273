#pragma once

#include <QList>
#include <QObject>
#include <QString>
#include <memory>

class QLabel;
class QPushButton;
class QWidget;
class ResultsList;
class ResultsView;
class SelectionCommands;

// The results part of both list windows: the check-box list ListView1, its counters Label1 and
// Label2, and the selection buttons PushButton5 "Check All", PushButton6 "Uncheck All",
// PushButton9 and PushButton10 (the text rules) and PushButton7 "Clear List", wired to the
// selection commands, which report errors under the window's name. The controls are children of
// the window, which lays them out its own way.
class ResultsPane : public QObject {
    Q_OBJECT
public:
    // bRuleMatched: the window's rule flag, which the commands read and set.
    ResultsPane(const QString &windowName, QWidget *window, bool &bRuleMatched);
    ~ResultsPane() override;

    ResultsList &list() const { return *m_list; }
    SelectionCommands &commands() const { return *m_commands; }
    // The list and the buttons: what the pointer feedback watches besides the window's own.
    QList<QWidget *> controls() const;
    // The counters on white, as both windows show them once loaded.
    void paintCountersWhite();

    ResultsView *const ListView1;
    QLabel *const Label1;
    QLabel *const Label2;
    QPushButton *const PushButton5;
    QPushButton *const PushButton6;
    QPushButton *const PushButton9;
    QPushButton *const PushButton10;
    QPushButton *const PushButton7;

private:
    std::unique_ptr<ResultsList> m_list;
    std::unique_ptr<SelectionCommands> m_commands;
};
