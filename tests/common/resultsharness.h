#pragma once

#include "app/form1.h"
#include "imap/imapclient.h"
#include "results/mailstore.h"
#include "results/resultslist.h"
#include "results/retrieval.h"
#include "results/selectioncommands.h"
#include "results/sessionholder.h"

#include <QByteArray>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QList>
#include <QPushButton>
#include <QWidget>
#include <functional>

class ResultsView;
class TextProgressBar;

// The real main window, loaded and shown with empty settings, and its parts that the retrieval
// commands use, by the names the tests know them by.
struct ResultsHarness {
    ResultsHarness();
    ~ResultsHarness();

    // Signs in the way the connect command does: a session in oChilkat, the caption
    // "Disconnect", the folder box filled and `folder` chosen. False when it did not work.
    bool connectTo(const QString &host, int port, const QString &user, const QString &password,
                   const QString &folder);

    void clickGetAll();
    void clickGetSome();
    QStringList column(int column) const; // one cell of every row, top to bottom

    Form1 window;
    ImapClient &component;
    MailStore &mailStore;
    bool &bRuleMatched;
    ResultsList *list;
    SessionHolder *oChilkat;
    SelectionCommands *selection;
    Retrieval *retrieval;
    QPushButton *PushButton1;
    QPushButton *PushButton2;
    QPushButton *PushButton3;
    QComboBox *Combo2;
    QLineEdit *Text1;
    QLineEdit *Text2;
    QLineEdit *txtSearch;
    ResultsView *ListView1;
    QLabel *Label1;
    QLabel *Label2;
    TextProgressBar *ProgressBar1;

    // Runs after each listing has been handled, with its sequence number (uID).
    std::function<void(qint32)> afterListing;
    QList<qint32> listedIds;
};

// A small RFC 5322 message; an empty html gives a text/plain message, otherwise
// multipart/alternative.
QByteArray TestMessage(const QString &fromName, const QString &fromAddress, const QString &subject,
                       const QString &plain, const QString &html = {},
                       const QByteArray &date = "Tue, 31 Aug 2021 15:45:12 +0000");
