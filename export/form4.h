#pragma once

#include <QDialog>
#include <memory>

class QLabel;
class QPushButton;
class QTreeWidget;
class ResultsList;
class SelectionCommands;

// " List In Larger View": a maximized, modal copy of the main list with its own selection
// commands; closing it writes the check marks back to the main list by position.
class Form4 : public QDialog {
    Q_OBJECT
public:
    explicit Form4(ResultsList &mainList, QWidget *owner);
    ~Form4() override;

    ResultsList &list() const { return *m_list; }
    bool bRuleMatched = false;

    void Form_Load();
    void PushButton1_Click(); // Maximize This Window
    void PushButton4_Click(); // < Back
    void PushButton7_Click(); // Clear List: this list, then the main one

protected:
    void resizeEvent(QResizeEvent *event) override;
    void done(int result) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void wireHandlers();
    void Form_Resize();
    void Form_Unload();

    ResultsList &m_mainList;
    QTreeWidget *m_view;
    QLabel *Label1;
    QLabel *Label2;
    QPushButton *PushButton1, *PushButton4, *PushButton5, *PushButton6, *PushButton7, *PushButton9, *PushButton10;
    std::unique_ptr<ResultsList> m_list;
    std::unique_ptr<SelectionCommands> m_commands;
};

// PushButton8_Click of the main window: fill, show modally, then refresh the main counters.
void ShowLargerView(ResultsList &mainList, QWidget *owner);
