#pragma once

#include <QDialog>

class QPushButton;
class ResultsList;
class ResultsPane;

// " List In Larger View": a maximized, modal copy of the main list with its own selection
// commands; closing it writes the check marks back to the main list by position.
class Form4 : public QDialog {
    Q_OBJECT
public:
    explicit Form4(ResultsList &mainList, QWidget *owner);

    ResultsList &list() const;
    bool bRuleMatched = false;

    void Form_Load();
    void PushButton1_Click(); // Maximize This Window
    void PushButton4_Click(); // < Back
    void PushButton7_Click(); // Clear List: after this list (the pane's command), the main one

protected:
    void resizeEvent(QResizeEvent *event) override;
    void done(int result) override;

private:
    void buildControls();
    void wireHandlers();
    void Form_Resize();
    void Form_Unload();

    ResultsList &m_mainList;
    ResultsPane *m_pane; // the list, its counters and the selection buttons
    QPushButton *PushButton1, *PushButton4;
};
