#pragma once

#include "results/mailstore.h"

#include <QWidget>
#include <memory>

class ConnectCommand;
class CredentialStore;
class ImapClient;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class ResultsList;
class ResultsPane;
class Retrieval;
class SelectionCommands;
class SessionHolder;
class SpreadsheetTarget;
class TextProgressBar;
class clsChilkatIMAP;

// The main window: sign-in, folder choice, filter, the results list and every command button.
// Controls carry their names as object names (tests find them by name).
class Form1 : public QWidget {
    Q_OBJECT
public:
    explicit Form1(QWidget *parent = nullptr);
    ~Form1() override;

    // The load sequence; the window is shown after it.
    void Form_Load();

    void PushButton1_Click();  // connect / disconnect
    void PushButton11_Click(); // Help

    // Tests put a recording target in place of the workbook writer.
    void setSpreadsheetTarget(std::unique_ptr<SpreadsheetTarget> target);

    bool bRuleMatched = false;
    ImapClient *component() const { return m_component; } // made by the load sequence
    const std::shared_ptr<clsChilkatIMAP> &oChilkat() const;
    SessionHolder &sessionHolder() const { return *m_oChilkat; }
    ResultsList &list() const;
    SelectionCommands &selection() const;
    MailStore &mailStore() { return m_mailStore; }
    Retrieval &retrieval() const { return *m_retrieval; }

Q_SIGNALS:
    // Closing the window: the program ends at once.
    void unloaded();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    void buildControls();
    void createComponent(); // the component instance, and the commands that need it
    void wireHandlers();
    void PushButton4_Click();
    void PushButton8_Click();

    void Check1_Click();
    void Check2_Click();
    void Text1_Change();
    void Text2_Change();
    void Combo2_Click(int index);

    // Controls
    QGroupBox *Frame5, *Frame3, *Frame4;
    QLabel *lblLabels[2];
    QLineEdit *Text1, *Text2, *txtSearch;
    QCheckBox *Check1, *Check2;
    QPushButton *PushButton1, *PushButton2, *PushButton3, *PushButton4, *PushButton8, *PushButton11;
    QComboBox *Combo2;
    ResultsPane *m_pane; // the list, its counters and the selection buttons
    TextProgressBar *ProgressBar1;

    // State
    ImapClient *m_component = nullptr;
    std::unique_ptr<CredentialStore> m_credentials;
    MailStore m_mailStore;
    std::unique_ptr<SessionHolder> m_oChilkat;
    std::unique_ptr<Retrieval> m_retrieval;
    std::unique_ptr<ConnectCommand> m_connect;
    std::unique_ptr<SpreadsheetTarget> m_target;
};
