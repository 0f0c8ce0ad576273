#include "app/connectcommand.h"

#include "app/credentialstore.h"
#include "app/settingsstore.h"
#include "imap/connectionoverrides.h"
#include "imap/imapclient.h"
#include "mail/clschilkatimap.h"
#include "results/captions.h"
#include "results/resultslist.h"
#include "results/retrieval.h"
#include "results/sessionholder.h"
#include "support/apperror.h"
#include "support/errortrap.h"
#include "support/pointer.h"
#include "support/textprogressbar.h"
#include "support/vbnumber.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

ConnectCommand::ConnectCommand(MainWindowParts parts, CredentialStore &credentials, Retrieval &retrieval)
    : p(parts), m_credentials(credentials), m_retrieval(retrieval)
{
}

void ConnectCommand::PushButton1_Click()
{
    ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("PushButton1_Click"));
    bool connecting = true;
    trap(100, [this] { SetPointer(p.window, PointerShape::Busy); });
    trap(102, [&] { connecting = p.PushButton1->text() == SignedOutCaption; });
    if (connecting)
        connectBranch(trap);
    else
        disconnectBranch(trap);
}

void ConnectCommand::connectBranch(ErrorTrap &trap)
{
    trap(104, [this] { setStatus(QStringLiteral("Connecting to Yahoo! Mail...")); });

    // Started again while its own sign-in still runs: only the closing steps.
    if (!p.oChilkat->get()) {
        std::shared_ptr<clsChilkatIMAP> session;
        trap(108, [&] {
            session = std::make_shared<clsChilkatIMAP>();
            p.oChilkat->set(session);
        });
        if (!session)
            return endSequence(trap);
        trap(110, [&] { session->setChilkatIMAPObject(p.component); });
        trap(112, [&] { session->setSSL(true); });
        const ConnectionOverrides server = ConnectionOverrides::fromEnvironment();
        trap(114, [&] { session->setPORT(server.port); });
        trap(116, [&] { session->setIMAPServer(server.host); });
        trap(118, [&] { session->setUsername(p.Text1->text()); });
        trap(120, [&] { session->setPassword(p.Text2->text()); });

        bool signedIn = false;
        trap(122, [&] { signedIn = session->Connect(); });
        if (p.oChilkat->get() != session) {
            // A disconnect ran during the sign-in and has already signed the window out.
            SetPointer(p.window, PointerShape::Default);
            return;
        }
        if (!signedIn)
            return endSequence(trap);

        QStringList folders;
        trap(124, [&] { folders = session->EnumMailFolders().value_or(QStringList()); });
        if (p.oChilkat->get() != session) {
            SetPointer(p.window, PointerShape::Default);
            return;
        }
        trap(126, [this] {
            p.Combo2->clear();
            setStatus(QStringLiteral("Enumerating folders..."));
        });
        trap(128, [&] { fillFolders(folders); });
        trap(130, [this] { selectStoredFolder(); });
        trap(131, [this] {
            setStatus(QStringLiteral("Connected to Yahoo! Mail. Please select folder to extract emails from."));
        });
    }
    trap(132, [this] { p.PushButton1->setText(SignedInCaption); });
    trap(134, [this] { SetPointer(p.window, PointerShape::Default); });
    trap(136, [this] { *p.bRuleMatched = false; });
}

void ConnectCommand::fillFolders(const QStringList &names)
{
    // Appending to an empty box would select its first entry; the stored position decides.
    const QSignalBlocker blocker(p.Combo2);
    p.Combo2->addItems(names);
    p.Combo2->setCurrentIndex(-1);
}

void ConnectCommand::selectStoredFolder()
{
    const qint16 position = TextToInt16(GetSetting(QStringLiteral("Combo2"), QStringLiteral("3")));
    if (position < 0 || position >= p.Combo2->count())
        throw AppError(QStringLiteral("Subscript out of range"));
    p.Combo2->setCurrentIndex(position);
}

void ConnectCommand::disconnectBranch(ErrorTrap &trap)
{
    trap(138, [this] { setStatus(QStringLiteral("Disconnecting from Yahoo! Mail...")); });
    // A retrieval must not go on reading through a connection that is being closed.
    trap(139, [this] { m_retrieval.stopRunning(); });
    trap(140, [this] {
        if (!p.Check1->isChecked()) {
            p.Text1->clear();
            p.Text2->clear();
            SaveSetting(QStringLiteral("User"), QString());
            m_credentials.erase();
        }
    });
    trap(142, [this] { p.component->disconnect(); });
    endSequence(trap);
}

void ConnectCommand::endSequence(ErrorTrap &trap)
{
    trap(144, [this] { p.list->clear(); });
    trap(146, [this] { p.list->UpdateCounters(true); });
    trap(148, [this] { p.PushButton1->setText(SignedOutCaption); });
    trap(150, [this] { p.oChilkat->reset(); });
    trap(152, [this] { setStatus(QStringLiteral("Disconnected from Yahoo! Mail.")); });
    trap(154, [this] { SetPointer(p.window, PointerShape::Default); });
    trap(156, [this] { *p.bRuleMatched = false; });
}

void ConnectCommand::setStatus(const QString &text)
{
    p.ProgressBar1->setText(text);
}
