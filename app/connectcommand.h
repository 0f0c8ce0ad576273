#pragma once

#include "results/mainwindowparts.h"

#include <QString>
#include <QStringList>

class CredentialStore;
class ErrorTrap;
class Retrieval;

// "1. Connect" / "Disconnect" of the main window: signs a new session in and lists its folders,
// or signs out, stopping a running retrieval first. Its steps report as Form1.PushButton1_Click.
class ConnectCommand {
public:
    ConnectCommand(MainWindowParts parts, CredentialStore &credentials, Retrieval &retrieval);

    void PushButton1_Click();

private:
    void connectBranch(ErrorTrap &trap);
    void disconnectBranch(ErrorTrap &trap);
    void endSequence(ErrorTrap &trap); // the disconnect's last steps, where a failed sign-in goes on
    void fillFolders(const QStringList &names);
    void selectStoredFolder();
    void setStatus(const QString &text);

    MainWindowParts p;
    CredentialStore &m_credentials;
    Retrieval &m_retrieval;
};
