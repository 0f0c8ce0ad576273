#include "mail/sessionfactory.h"

#include "mail/clschilkatimap.h"

std::shared_ptr<clsChilkatIMAP> NewSession(ImapClient *component, const QString &host, int port, const QString &user,
                                           const QString &password)
{
    auto session = std::make_shared<clsChilkatIMAP>();
    session->setChilkatIMAPObject(component);
    session->setSSL(true);
    session->setPORT(port);
    session->setIMAPServer(host);
    session->setUsername(user);
    session->setPassword(password);
    return session;
}
