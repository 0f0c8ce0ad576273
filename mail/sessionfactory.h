#pragma once

#include <QString>
#include <memory>

class ImapClient;
class clsChilkatIMAP;

// A new mail session ready to sign in: the component it drives, TLS, the server and the account.
std::shared_ptr<clsChilkatIMAP> NewSession(ImapClient *component, const QString &host, int port, const QString &user,
                                           const QString &password);
