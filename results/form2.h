#pragma once

#include <QDialog>
#include <memory>

class clsChilkatIMAP;
class QAction;
class QLabel;
class QLineEdit;
class QPushButton;

// The range dialog "Get Some Emails": a From and a To message number. Its result tells the Get
// Some command whether a range was accepted (Accepted, after Continue) and set on the session.
class Form2 : public QDialog {
    Q_OBJECT
public:
    explicit Form2(QWidget *owner);

    void setChilkatIMAP(std::shared_ptr<clsChilkatIMAP> session) { m_session = std::move(session); }
    std::shared_ptr<clsChilkatIMAP> ChilkatIMAP() const { return m_session; }
    void setMaxMessage(qint32 value) { m_maxMessage = value; }
    qint32 MaxMessage() const { return m_maxMessage; }

    void Form_Load();          // run on every showing
    void PushButton1_Click();  // Continue (Command1 too)

    QLineEdit *fromBox() const { return m_from; }
    QLineEdit *toBox() const { return m_to; }
    QLabel *toLabel() const { return m_toLabel; }
    QPushButton *continueButton() const { return m_continue; }

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    std::shared_ptr<clsChilkatIMAP> m_session;
    qint32 m_maxMessage = 0;
    QLineEdit *m_from;
    QLineEdit *m_to;
    QLabel *m_toLabel;
    QPushButton *m_continue;
    QAction *m_command1;
};
