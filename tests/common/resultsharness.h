#pragma once

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
#include <QTreeWidget>
#include <QWidget>
#include <functional>
#include <memory>

class TextProgressBar;

// The part of the main window that the retrieval commands use, built from real widgets and
// wired as the window wires them: list, store, session holder, component, commands.
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

    QWidget window;
    QPushButton *PushButton1;
    QPushButton *PushButton2;
    QPushButton *PushButton3;
    QComboBox *Combo2;
    QLineEdit *Text1;
    QLineEdit *Text2;
    QLineEdit *txtSearch;
    QTreeWidget *ListView1;
    QLabel *Label1;
    QLabel *Label2;
    TextProgressBar *ProgressBar1;

    ImapClient component;
    MailStore mailStore;
    bool bRuleMatched = false;
    std::unique_ptr<ResultsList> list;
    std::unique_ptr<SessionHolder> oChilkat;
    std::unique_ptr<SelectionCommands> selection;
    std::unique_ptr<Retrieval> retrieval;

    // Runs after each listing has been handled, with its sequence number (uID).
    std::function<void(qint32)> afterListing;
    QList<qint32> listedIds;
};

// A small RFC 5322 message; an empty html gives a text/plain message, otherwise
// multipart/alternative.
QByteArray TestMessage(const QString &fromName, const QString &fromAddress, const QString &subject,
                       const QString &plain, const QString &html = {},
                       const QByteArray &date = "Tue, 31 Aug 2021 15:45:12 +0000");
