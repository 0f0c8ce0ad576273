#include "devserver/testcertificates.h"

#include "devserver/runtool.h"
#include "devserver/scratchdir.h"

#include <QDir>
#include <QFile>
#include <stdexcept>
#include <unistd.h>

namespace {

const QStringList EcKey = {QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                           QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};

void makeCa(const QString &dir, const QString &name, const QString &commonName)
{
    RunTool(QStringLiteral("openssl"),
            QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + EcKey
                + QStringList{QStringLiteral("-keyout"), dir + QLatin1Char('/') + name + QStringLiteral(".key"),
                              QStringLiteral("-out"), dir + QLatin1Char('/') + name + QStringLiteral(".crt"),
                              QStringLiteral("-days"), QStringLiteral("3650"),
                              QStringLiteral("-subj"), QStringLiteral("/CN=") + commonName,
                              QStringLiteral("-addext"), QStringLiteral("basicConstraints=critical,CA:TRUE"),
                              QStringLiteral("-addext"), QStringLiteral("keyUsage=critical,keyCertSign,cRLSign")});
}

} // namespace

const TestCertificates &TestCertificates::instance()
{
    static const TestCertificates certificates;
    return certificates;
}

TestCertificates::TestCertificates()
    : m_owner(getpid())
{
    m_dir = MakeScratchDir(QStringLiteral("certs"));
    makeCa(m_dir, QStringLiteral("ca"), QStringLiteral("Quorvane Test CA"));
    makeCa(m_dir, QStringLiteral("untrusted-ca"), QStringLiteral("Quorvane Untrusted CA"));
    RunTool(QStringLiteral("openssl"),
            QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + EcKey
                + QStringList{QStringLiteral("-keyout"), serverKeyFile(), QStringLiteral("-out"), serverCertFile(),
                              QStringLiteral("-days"), QStringLiteral("825"),
                              QStringLiteral("-subj"), QStringLiteral("/CN=localhost"),
                              QStringLiteral("-addext"), QStringLiteral("subjectAltName=DNS:localhost"),
                              QStringLiteral("-addext"), QStringLiteral("basicConstraints=critical,CA:FALSE"),
                              QStringLiteral("-addext"), QStringLiteral("extendedKeyUsage=serverAuth"),
                              QStringLiteral("-CA"), caFile(),
                              QStringLiteral("-CAkey"), m_dir + QStringLiteral("/ca.key")});
    makeOutOfDate();
    RunTool(QStringLiteral("openssl"),
            {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-key"), serverKeyFile(), QStringLiteral("-out"),
             selfSignedCertFile(), QStringLiteral("-days"), QStringLiteral("825"), QStringLiteral("-subj"),
             QStringLiteral("/CN=localhost"), QStringLiteral("-addext"), QStringLiteral("subjectAltName=DNS:localhost")});
}

// Only "openssl ca" sets dates in the past; it wants a database and a serial file.
void TestCertificates::makeOutOfDate() const
{
    QFile config(m_dir + QStringLiteral("/ca.cnf"));
    QFile(m_dir + QStringLiteral("/index.txt")).open(QIODevice::WriteOnly);
    QFile serial(m_dir + QStringLiteral("/serial"));
    if (!config.open(QIODevice::WriteOnly) || !serial.open(QIODevice::WriteOnly))
        throw std::runtime_error("cannot write the test CA's files");
    config.write("[ca]\ndefault_ca = test\n[test]\ndatabase = " + QFile::encodeName(m_dir) + "/index.txt\nnew_certs_dir = "
                 + QFile::encodeName(m_dir) + "\nserial = " + QFile::encodeName(m_dir)
                 + "/serial\ndefault_md = sha256\npolicy = any\ncopy_extensions = copy\n[any]\ncommonName = supplied\n");
    serial.write("01\n");
    config.close();
    serial.close();
    const QString request = m_dir + QStringLiteral("/expired.csr");
    RunTool(QStringLiteral("openssl"),
            {QStringLiteral("req"), QStringLiteral("-new"), QStringLiteral("-key"), serverKeyFile(), QStringLiteral("-out"),
             request, QStringLiteral("-subj"), QStringLiteral("/CN=localhost"), QStringLiteral("-addext"),
             QStringLiteral("subjectAltName=DNS:localhost")});
    RunTool(QStringLiteral("openssl"),
            {QStringLiteral("ca"), QStringLiteral("-batch"), QStringLiteral("-notext"), QStringLiteral("-config"),
             config.fileName(), QStringLiteral("-cert"), caFile(), QStringLiteral("-keyfile"),
             m_dir + QStringLiteral("/ca.key"), QStringLiteral("-in"), request, QStringLiteral("-out"), expiredCertFile(),
             QStringLiteral("-startdate"), QStringLiteral("20200101000000Z"), QStringLiteral("-enddate"),
             QStringLiteral("20200201000000Z")});
}

TestCertificates::~TestCertificates()
{
    if (getpid() == m_owner) // not in a forked child that happens to exit normally
        QDir(m_dir).removeRecursively();
}
