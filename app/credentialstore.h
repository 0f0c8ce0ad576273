#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <optional>

namespace QKeychain {
class Job;
}

// The remembered password. It lives in the desktop's keyring (QtKeychain: the Secret Service,
// the Windows Credential Manager, the macOS Keychain), and the settings key "Password" holds
// empty text. Where no keyring answers, the password stays in that key of the private settings
// file, and the next start moves it into the keyring if one answers then.
class CredentialStore : public QObject {
    Q_OBJECT
public:
    explicit CredentialStore(QObject *parent = nullptr);

    // The remembered password, read at start-up. Waits for the keyring in a local event loop,
    // for a bounded time. A password found in the settings file is moved into the keyring.
    QString restore();
    // Keyring work runs in the background, one job at a time; only the latest wish is sent.
    void store(const QString &password);
    void erase();
    // The settings file holds no password, only empty text. At a start without "Remember me"
    // the keyring is not asked, so that it does not prompt a user who never wanted it.
    void dropLeftover();
    // Waits, for a bounded time, until the keyring holds the latest wish; a password it has not
    // taken by then goes to the settings file, so that ending the program loses nothing.
    void settle();

Q_SIGNALS:
    void jobFinished();

private:
    enum class Keyring { Unknown, Answers, Silent };

    void want(const std::optional<QString> &password);
    void sendNext();
    void jobDone(QKeychain::Job *job, bool writing);
    void useFile();
    bool waitFor(const std::function<bool()> &done);

    Keyring m_keyring = Keyring::Unknown;
    bool m_known = false;              // m_wanted is what the store holds or is about to
    std::optional<QString> m_wanted;   // nullopt: nothing remembered
    bool m_sent = true;                // m_wanted has gone to the keyring
    bool m_busy = false;               // a keyring job runs
};
