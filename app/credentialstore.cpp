#include "app/credentialstore.h"

#include "app/settingsstore.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <qt6keychain/keychain.h>

namespace {

const QString Service = QStringLiteral("Quorvane");
const QString PasswordKey = QStringLiteral("Password");
// Long enough for the keyring to ask for its own password at a prompt, short enough that a
// keyring that hangs does not look like a program that hangs.
constexpr int WaitMs = 10000;

// One entry per settings file, so that the demo's and the tests' stay apart from the user's.
template <typename Job>
Job *keyringJob()
{
    auto *job = new Job(Service);
    job->setKey(SettingsLocation());
    return job;
}

} // namespace

CredentialStore::CredentialStore(QObject *parent) : QObject(parent) {}

QString CredentialStore::restore()
{
    const QString inFile = GetSetting(PasswordKey, QString());
    auto *job = keyringJob<QKeychain::ReadPasswordJob>();
    std::optional<QKeychain::Error> error;
    QString inKeyring;
    const QMetaObject::Connection connection = connect(job, &QKeychain::Job::finished, this, [&] {
        error = job->error();
        inKeyring = job->textData();
        Q_EMIT jobFinished();
    });
    job->start();
    waitFor([&] { return error.has_value(); });
    disconnect(connection); // a late answer has nobody left to tell

    m_known = true;
    if (!error || (*error != QKeychain::NoError && *error != QKeychain::EntryNotFound)) {
        m_keyring = Keyring::Silent;
        m_wanted = inFile;
        return inFile;
    }
    m_keyring = Keyring::Answers;
    m_wanted = *error == QKeychain::NoError ? std::optional(inKeyring) : std::nullopt;
    if (inFile.isEmpty())
        return m_wanted.value_or(QString());
    // The file's password is the newer one (the keyring's answer empties the file): it moves,
    // even when the keyring holds the same.
    m_wanted = inFile;
    m_sent = false;
    sendNext();
    return inFile;
}

void CredentialStore::store(const QString &password)
{
    want(password);
}

void CredentialStore::erase()
{
    SaveSetting(PasswordKey, QString());
    want(std::nullopt);
}

void CredentialStore::dropLeftover()
{
    SaveSetting(PasswordKey, QString());
}

void CredentialStore::settle()
{
    if (waitFor([this] { return !m_busy && m_sent; }))
        return;
    m_keyring = Keyring::Silent;
    useFile();
}

void CredentialStore::want(const std::optional<QString> &password)
{
    if (m_known && m_wanted == password)
        return;
    m_known = true;
    m_wanted = password;
    if (m_keyring == Keyring::Silent)
        return useFile();
    m_sent = false;
    sendNext();
}

void CredentialStore::sendNext()
{
    if (m_busy || m_sent)
        return;
    m_busy = true;
    m_sent = true;
    const bool writing = m_wanted.has_value();
    QKeychain::Job *job = nullptr;
    if (writing) {
        auto *write = keyringJob<QKeychain::WritePasswordJob>();
        write->setTextData(*m_wanted);
        job = write;
    } else {
        job = keyringJob<QKeychain::DeletePasswordJob>();
    }
    // The job deletes itself once finished, even after this store is gone: the keyring's
    // answer may still be on its way.
    connect(job, &QKeychain::Job::finished, this, [this, writing](QKeychain::Job *done) { jobDone(done, writing); });
    job->start();
}

void CredentialStore::jobDone(QKeychain::Job *job, bool writing)
{
    m_busy = false;
    const QKeychain::Error error = job->error();
    if (error == QKeychain::NoError || (!writing && error == QKeychain::EntryNotFound)) {
        m_keyring = Keyring::Answers;
        if (writing)
            dropLeftover();
        sendNext();
    } else {
        // No keyring answered, or it refused: the file keeps the latest wish from now on.
        m_keyring = Keyring::Silent;
        useFile();
    }
    Q_EMIT jobFinished();
}

void CredentialStore::useFile()
{
    m_sent = true;
    SaveSetting(PasswordKey, m_wanted.value_or(QString()));
}

bool CredentialStore::waitFor(const std::function<bool()> &done)
{
    const QDeadlineTimer deadline(WaitMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QEventLoop loop;
        QTimer::singleShot(deadline.remainingTime(), &loop, &QEventLoop::quit);
        connect(this, &CredentialStore::jobFinished, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    return true;
}
