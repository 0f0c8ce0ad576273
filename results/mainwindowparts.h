#pragma once

class ImapClient;
class MailStore;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QWidget;
class ResultsList;
class SessionHolder;
class TextProgressBar;

// What the main window's commands (connect, retrieval) use of it. The window owns all of it.
struct MainWindowParts {
    QWidget *window = nullptr; // its pointer is the busy sign
    QPushButton *PushButton1 = nullptr; // connect / disconnect: its caption is the sign-in state
    QPushButton *PushButton2 = nullptr; // "2b. Get Some Emails"
    QPushButton *PushButton3 = nullptr; // "2a. Get All Emails" / "Stop"
    QComboBox *Combo2 = nullptr;
    QCheckBox *Check1 = nullptr; // "Remember me"
    QLineEdit *Text1 = nullptr;
    QLineEdit *Text2 = nullptr;
    TextProgressBar *ProgressBar1 = nullptr;
    ResultsList *list = nullptr;
    MailStore *mailStore = nullptr;
    SessionHolder *oChilkat = nullptr;
    ImapClient *component = nullptr;
    bool *bRuleMatched = nullptr;
};
