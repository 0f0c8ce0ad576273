#include "devserver/dovecotfixture.h"

#include "devserver/loopbacklisten.h"
#include "devserver/maildirwriter.h"
#include "devserver/runtool.h"
#include "devserver/scratchdir.h"
#include "devserver/testcertificates.h"

#include <QDir>
#include <QFile>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <fcntl.h>
#include <grp.h>
#include <memory>
#include <pwd.h>
#include <signal.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

const QString SeededUser = QStringLiteral("ann.example");
const QString SeededPassword = QStringLiteral("s3cret-Pw");

[[noreturn]] void fail(const QString &why)
{
    throw std::runtime_error(why.toStdString());
}

QString findProgram(const QString &name)
{
    QString path = QStandardPaths::findExecutable(name);
    if (path.isEmpty())
        path = QStandardPaths::findExecutable(name, {QStringLiteral("/usr/sbin"), QStringLiteral("/usr/local/sbin"),
                                                     QStringLiteral("/usr/bin")});
    if (path.isEmpty())
        fail(name + QStringLiteral(" is not installed"));
    return path;
}

void writeFile(const QString &path, const QByteArray &data, QIODevice::OpenMode mode = QIODevice::WriteOnly)
{
    QFile file(path);
    if (!file.open(mode) || file.write(data) != data.size())
        fail(QStringLiteral("cannot write ") + path);
}

QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The owner of the mailboxes: never root (Dovecot refuses uid 0), so nobody when we are root.
struct MailUser {
    uid_t uid;
    gid_t gid;
    QString name;
    QString group;
};

MailUser mailUser()
{
    const passwd *pw = geteuid() == 0 ? getpwnam("nobody") : getpwuid(geteuid());
    if (!pw)
        fail(QStringLiteral("no user to own the test mailboxes"));
    const group *gr = getgrgid(pw->pw_gid);
    return {pw->pw_uid, pw->pw_gid, QString::fromLocal8Bit(pw->pw_name),
            gr ? QString::fromLocal8Bit(gr->gr_name) : QString::number(pw->pw_gid)};
}

void setOwner(const QString &path, uid_t uid, gid_t gid, mode_t mode)
{
    const QByteArray name = QFile::encodeName(path);
    if ((geteuid() == 0 && chown(name.constData(), uid, gid) != 0) || chmod(name.constData(), mode) != 0)
        fail(QStringLiteral("cannot set the owner of ") + path);
}

gid_t dovecotGroup()
{
    const group *dovecot = getgrnam("dovecot");
    if (!dovecot)
        fail(QStringLiteral("no group dovecot"));
    return dovecot->gr_gid;
}

} // namespace

struct DovecotFixture::Private {
    QString dir;
    QString config;
    int port = 0;
    int plainPort = 0;
    pid_t master = 0;
    pid_t owner = getpid();
    MailUser mail = mailUser();
    int accounts = 0;
    QStringList seededFolders;

    ~Private() { stop(); }

    QString path(const QString &name) const { return dir + QLatin1Char('/') + name; }
    void makeDirs();
    void start();
    QString configText(bool ipv6) const;
    void launch();
    bool waitReady();
    void stop();
    void addAccount(const QString &user, const QString &password, const QList<Folder> &folders);
    QByteArray doveadm(const QStringList &arguments, const QByteArray &input = QByteArray()) const;
    QString startFailure() const;
};

void DovecotFixture::Private::makeDirs()
{
    dir = MakeScratchDir(QStringLiteral("dovecot"));
    config = path(QStringLiteral("dovecot.conf"));
    if (!QDir().mkpath(path(QStringLiteral("users"))) || !QDir().mkpath(path(QStringLiteral("mail"))))
        fail(QStringLiteral("cannot create the Dovecot folders in ") + dir);
    if (geteuid() == 0)
        setOwner(path(QStringLiteral("users")), 0, dovecotGroup(), 0750);
    setOwner(path(QStringLiteral("mail")), mail.uid, mail.gid, 0755);
}

QString DovecotFixture::Private::configText(bool ipv6) const
{
    const QString addresses = ipv6 ? QStringLiteral("127.0.0.1, ::1") : QStringLiteral("127.0.0.1");
    const TestCertificates &certs = TestCertificates::instance();
    // One passwd file per user: Dovecot reads a new file at the first login, whereas a shared
    // file is looked at no more than once a second, so a just-added user could be refused.
    QString text = QStringLiteral(R"(instance_name = quorvane-%1
base_dir = %2/run
state_dir = %2/state
log_path = %2/dovecot.log
protocols = imap
ssl = required
ssl_cert = <%3
ssl_key = <%4
ssl_min_protocol = TLSv1.2
first_valid_uid = 1
auth_failure_delay = 0
auth_verbose = yes
mail_max_userip_connections = 100
mail_location = maildir:~/Maildir
namespace inbox {
  inbox = yes
  separator = /
}
passdb {
  driver = passwd-file
  args = scheme=PLAIN %2/users/%u
}
userdb {
  driver = static
  args = uid=%5 gid=%6 home=%2/mail/%u
}
service imap-login {
  inet_listener imap {
    address = %7
    port = %8
  }
  inet_listener imaps {
    address = %7
    port = %9
    ssl = yes
  }
}
# A failed login would otherwise hold up the next one from the same address by seconds.
service anvil {
  unix_listener anvil-auth-penalty {
    mode = 0
  }
}
)")
                       .arg(QFileInfo(dir).fileName(), dir, certs.serverCertFile(), certs.serverKeyFile())
                       .arg(mail.uid)
                       .arg(mail.gid)
                       .arg(addresses)
                       .arg(plainPort)
                       .arg(port);
    if (geteuid() != 0) {
        // Without root nothing can change users or chroot: every service runs as ourselves.
        text += QStringLiteral(R"(default_internal_user = %1
default_internal_group = %2
default_login_user = %1
service anvil {
  chroot =
}
service imap-login {
  chroot =
}
)")
                    .arg(mail.name, mail.group);
    }
    return text;
}

void DovecotFixture::Private::launch()
{
    const QByteArray program = QFile::encodeName(findProgram(QStringLiteral("dovecot")));
    const QByteArray configPath = QFile::encodeName(config);
    const QByteArray outPath = QFile::encodeName(path(QStringLiteral("master.out")));
    const int out = open(outPath.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (out < 0)
        fail(QStringLiteral("cannot write master.out"));
    const pid_t parent = getpid();
    master = fork();
    if (master == 0) {
        // In the foreground as our child, and told to stop should this process die unexpectedly.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent)
            _exit(127);
        setpgid(0, 0); // a group of its own, so that stop() reaches every process of the server
        dup2(out, STDOUT_FILENO);
        dup2(out, STDERR_FILENO);
        execl(program.constData(), "dovecot", "-F", "-c", configPath.constData(), static_cast<char *>(nullptr));
        _exit(127);
    }
    close(out);
    if (master < 0) {
        master = 0;
        fail(QStringLiteral("cannot start dovecot"));
    }
}

bool DovecotFixture::Private::waitReady()
{
    for (int waited = 0; waited < 15000; waited += 50) {
        if (waitpid(master, nullptr, WNOHANG) == master) {
            master = 0;
            return false;
        }
        QTcpSocket probe;
        probe.connectToHost(QHostAddress::LocalHost, quint16(port));
        if (probe.waitForConnected(200)) {
            probe.abort();
            return true;
        }
        QThread::msleep(50);
    }
    const QString why = startFailure();
    stop();
    fail(QStringLiteral("Dovecot did not open port %1 within 15 s\n%2").arg(port).arg(why));
}

QString DovecotFixture::Private::startFailure() const
{
    return QString::fromLocal8Bit(readFile(path(QStringLiteral("master.out"))) + readFile(path(QStringLiteral("dovecot.log"))));
}

void DovecotFixture::Private::start()
{
    makeDirs();
    for (int attempt = 1;; ++attempt) {
        {
            // Held until just before Dovecot binds them, so no other test process takes them.
            QTcpServer imaps4, imaps6, imap4, imap6;
            port = ListenOnLoopback(imaps4, imaps6);
            plainPort = ListenOnLoopback(imap4, imap6);
            if (port == 0 || plainPort == 0)
                fail(QStringLiteral("no free loopback port"));
            writeFile(config, configText(imaps6.isListening()).toUtf8());
        }
        launch();
        if (waitReady())
            return;
        const QString why = startFailure();
        // Another process may have taken a port in the moment between closing and binding.
        if (attempt == 3 || !why.contains(QLatin1String("Address already in use")))
            fail(QStringLiteral("Dovecot did not start (%1):\n%2").arg(config, why));
    }
}

void DovecotFixture::Private::stop()
{
    if (master > 0 && getpid() == owner) {
        kill(master, SIGTERM);
        // Dovecot takes a second or three to shut its children down.
        int waited = 0;
        while (waitpid(master, nullptr, WNOHANG) == 0 && waited < 5000) {
            QThread::msleep(20);
            waited += 20;
        }
        if (waited >= 5000) {
            kill(master, SIGKILL);
            waitpid(master, nullptr, 0);
        }
    }
    master = 0;
    if (!dir.isEmpty() && getpid() == owner)
        QDir(dir).removeRecursively();
    dir.clear();
}

QByteArray DovecotFixture::Private::doveadm(const QStringList &arguments, const QByteArray &input) const
{
    return RunTool(findProgram(QStringLiteral("doveadm")), QStringList{QStringLiteral("-c"), config} + arguments, input);
}

void DovecotFixture::Private::addAccount(const QString &user, const QString &password, const QList<Folder> &folders)
{
    if (password.isEmpty() || password.contains(QLatin1Char(':')) || password.contains(QLatin1Char('\n'))
        || password.contains(QLatin1Char('\r')))
        fail(QStringLiteral("a test password must be non-empty, without \":\" and line breaks"));
    const QString home = path(QStringLiteral("mail/") + user);
    if (!QDir().mkpath(home))
        fail(QStringLiteral("cannot create ") + home);
    setOwner(home, mail.uid, mail.gid, 0755);
    MaildirWriter writer(home + QStringLiteral("/Maildir"), mail.uid, mail.gid);
    for (const Folder &folder : folders) {
        writer.addFolder(folder.name);
        for (const QByteArray &message : folder.messages)
            writer.addMessage(folder.name, message);
    }
    // The login works from the moment this file exists: written last, when the mail is complete.
    const QString userFile = path(QStringLiteral("users/") + user);
    const QString newFile = userFile + QStringLiteral(".new");
    writeFile(newFile, (user + QStringLiteral(":{PLAIN}") + password + QStringLiteral("::::::\n")).toUtf8());
    setOwner(newFile, 0, geteuid() == 0 ? dovecotGroup() : getegid(), 0640);
    if (!QFile::rename(newFile, userFile))
        fail(QStringLiteral("cannot create the user file ") + userFile);
}

DovecotFixture &DovecotFixture::instance()
{
    static std::string failure;
    if (!failure.empty())
        throw std::runtime_error(failure);
    try {
        static DovecotFixture fixture;
        return fixture;
    } catch (const std::exception &error) {
        failure = std::string("The Dovecot test server is not available: ") + error.what();
        throw std::runtime_error(failure);
    }
}

DovecotFixture::DovecotFixture()
{
    auto p = std::make_unique<Private>();
    p->start();
    p->addAccount(SeededUser, SeededPassword, loadSeedData());
    const QByteArray listed = p->doveadm({QStringLiteral("mailbox"), QStringLiteral("list"), QStringLiteral("-u"), SeededUser});
    for (const QByteArray &line : listed.split('\n')) {
        if (!line.isEmpty())
            p->seededFolders.append(QString::fromUtf8(line));
    }
    d = p.release();
}

DovecotFixture::~DovecotFixture()
{
    delete d;
}

QList<DovecotFixture::Folder> DovecotFixture::loadSeedData()
{
    const QString root = QStringLiteral(QUORVANE_TEST_DATA_DIR "/mailboxes");
    const QByteArray manifest = readFile(root + QStringLiteral("/folders.txt"));
    if (manifest.isEmpty())
        fail(QStringLiteral("missing ") + root + QStringLiteral("/folders.txt"));
    QList<Folder> folders;
    for (const QString &raw : QString::fromUtf8(manifest).split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList sides = line.split(QStringLiteral(" -> "));
        if (sides.size() != 2)
            fail(QStringLiteral("folders.txt: not \"NAME -> directory\": ") + line);
        Folder folder{sides[0].trimmed(), {}};
        const QDir source(root + QLatin1Char('/') + sides[1].trimmed());
        if (!source.exists())
            fail(QStringLiteral("folders.txt names a missing directory: ") + source.path());
        for (const QString &name : source.entryList({QStringLiteral("*.eml")}, QDir::Files, QDir::Name))
            folder.messages.append(readFile(source.filePath(name)));
        folders.append(folder);
    }
    return folders;
}

QString DovecotFixture::host() const
{
    return QStringLiteral("localhost");
}

int DovecotFixture::port() const
{
    return d->port;
}

int DovecotFixture::plainPort() const
{
    return d->plainPort;
}

DovecotFixture::Account DovecotFixture::seededAccount() const
{
    return {SeededUser, SeededPassword};
}

QStringList DovecotFixture::seededFolders() const
{
    return d->seededFolders;
}

DovecotFixture::Account DovecotFixture::createAccount(const QList<Folder> &folders)
{
    return createAccount(folders, QStringLiteral("pw-%1-Xq7").arg(d->accounts + 1));
}

DovecotFixture::Account DovecotFixture::createAccount(const QList<Folder> &folders, const QString &password)
{
    const QString user = QStringLiteral("user%1.example").arg(++d->accounts);
    d->addAccount(user, password, folders);
    return {user, password};
}

void DovecotFixture::appendMessage(const Account &account, const QString &folder, const QByteArray &message)
{
    d->doveadm({QStringLiteral("save"), QStringLiteral("-u"), account.user, QStringLiteral("-m"), folder}, message);
}

void DovecotFixture::stop()
{
    // Every process, not just the master: Dovecot leaves the ones serving a connection running.
    const pid_t group = d->master;
    kill(-group, SIGTERM);
    waitpid(d->master, nullptr, 0);
    d->master = 0;
    for (int waited = 0; kill(-group, 0) == 0; waited += 20) {
        if (waited == 10000)
            kill(-group, SIGKILL);
        QThread::msleep(20);
    }
}

void DovecotFixture::start()
{
    // Its last children may hold a port for a moment after the master has gone.
    for (int attempt = 1; attempt <= 20; ++attempt) {
        d->launch();
        if (d->waitReady())
            return;
        QThread::msleep(50);
    }
    fail(QStringLiteral("Dovecot did not start again:\n") + d->startFailure());
}

void DovecotFixture::exportEnvironment() const
{
    qputenv("QUORVANE_IMAP_HOST", host().toUtf8());
    qputenv("QUORVANE_IMAP_PORT", QByteArray::number(port()));
    qputenv("QUORVANE_CA_FILE", QFile::encodeName(caFile()));
}

QString DovecotFixture::caFile() const
{
    return TestCertificates::instance().caFile();
}

QString DovecotFixture::serverCertFile() const
{
    return TestCertificates::instance().serverCertFile();
}

QString DovecotFixture::serverKeyFile() const
{
    return TestCertificates::instance().serverKeyFile();
}

QString DovecotFixture::untrustedCaFile() const
{
    return TestCertificates::instance().untrustedCaFile();
}

QString DovecotFixture::logFile() const
{
    return d->path(QStringLiteral("dovecot.log"));
}
