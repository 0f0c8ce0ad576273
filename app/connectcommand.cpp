// "1. Connect" / "Disconnect" of the main window.
#include "app/form1.h"

#include "app/credentialstore.h"
#include "app/settingsstore.h"
#include "imap/connectionoverrides.h"
#include "imap/imapclient.h"
#include "mail/clschilkatimap.h"
#include "mail/errortrap.h"
#include "results/resultslist.h"
#include "results/retrieval.h"
#include "results/sessionholder.h"
#include "support/apperror.h"
#include "support/pointer.h"
#include "support/vbnumber.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>

namespace {
const QString ConnectCaption = QStringLiteral("1. Connect");

int line(int step)
{
    return 100 + 2 * (step - 1);
}

ErrorTrap commandTrap()
{
    return ErrorTrap(QStringLiteral("Form1"), QStringLiteral("PushButton1_Click"));
}
} // namespace

void Form1::PushButton1_Click()
{
    ErrorTrap trap = commandTrap();
    bool connecting = true;
    trap(line(1), [this] { SetPointer(this, PointerShape::Busy); });
    trap(line(2), [&] { connecting = PushButton1->text() == ConnectCaption; });
    if (connecting)
        connectBranch();
    else
        disconnectBranch(20);
}

void Form1::connectBranch()
{
    ErrorTrap trap = commandTrap();
    trap(line(3), [this] { setStatus(QStringLiteral("Connecting to Yahoo! Mail...")); });

    // Started again while its own sign-in still runs: only the closing steps.
    if (!m_oChilkat->get()) {
        std::shared_ptr<clsChilkatIMAP> session;
        trap(line(5), [&] {
            session = std::make_shared<clsChilkatIMAP>();
            m_oChilkat->set(session);
        });
        if (!session)
            return disconnectBranch(23);
        trap(line(6), [&] { session->setChilkatIMAPObject(m_component); });
        trap(line(7), [&] { session->setSSL(true); });
        const ConnectionOverrides server = ConnectionOverrides::fromEnvironment();
        trap(line(8), [&] { session->setPORT(server.port); });
        trap(line(9), [&] { session->setIMAPServer(server.host); });
        trap(line(10), [&] { session->setUsername(Text1->text()); });
        trap(line(11), [&] { session->setPassword(Text2->text()); });

        bool signedIn = false;
        trap(line(12), [&] { signedIn = session->Connect(); });
        if (m_oChilkat->get() != session) {
            // A disconnect ran during the sign-in and has already signed the window out.
            SetPointer(this, PointerShape::Default);
            return;
        }
        if (!signedIn)
            return disconnectBranch(23);

        QStringList folders;
        trap(line(13), [&] { folders = session->EnumMailFolders().value_or(QStringList()); });
        if (m_oChilkat->get() != session) {
            SetPointer(this, PointerShape::Default);
            return;
        }
        trap(line(14), [this] {
            Combo2->clear();
            setStatus(QStringLiteral("Enumerating folders..."));
        });
        trap(line(15), [&] { fillFolders(folders); });
        trap(line(16), [this] { selectStoredFolder(); });
        trap(line(16), [this] {
            setStatus(QStringLiteral("Connected to Yahoo! Mail. Please select folder to extract emails from."));
        });
    }
    trap(line(17), [this] { PushButton1->setText(QStringLiteral("Disconnect")); });
    trap(line(18), [this] { SetPointer(this, PointerShape::Default); });
    trap(line(19), [this] { bRuleMatched = false; });
}

void Form1::fillFolders(const QStringList &names)
{
    // Appending to an empty box would select its first entry; the stored position decides.
    const QSignalBlocker blocker(Combo2);
    Combo2->addItems(names);
    Combo2->setCurrentIndex(-1);
}

void Form1::selectStoredFolder()
{
    const qint16 position = TextToInt16(GetSetting(QStringLiteral("Combo2"), QStringLiteral("3")));
    if (position < 0 || position >= Combo2->count())
        throw AppError(QStringLiteral("Subscript out of range"));
    Combo2->setCurrentIndex(position);
}

void Form1::disconnectBranch(int firstStep)
{
    ErrorTrap trap = commandTrap();
    if (firstStep <= 20) {
        trap(line(20), [this] { setStatus(QStringLiteral("Disconnecting from Yahoo! Mail...")); });
        // A retrieval must not go on reading through a connection that is being closed.
        trap(line(20), [this] {
            if (m_retrieval)
                m_retrieval->stopRunning();
        });
        trap(line(21), [this] {
            if (!Check1->isChecked()) {
                Text1->clear();
                Text2->clear();
                SaveSetting(QStringLiteral("User"), QString());
                m_credentials->erase();
            }
        });
        trap(line(22), [this] {
            if (m_component)
                m_component->disconnect();
        });
    }
    trap(line(23), [this] { list().clear(); });
    trap(line(24), [this] { list().UpdateCounters(true); });
    trap(line(25), [this] { PushButton1->setText(ConnectCaption); });
    trap(line(26), [this] { m_oChilkat->reset(); });
    trap(line(27), [this] { setStatus(QStringLiteral("Disconnected from Yahoo! Mail.")); });
    trap(line(28), [this] { SetPointer(this, PointerShape::Default); });
    trap(line(29), [this] { bRuleMatched = false; });
}
