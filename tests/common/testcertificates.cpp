#include "tests/common/testcertificates.h"

#include "tests/common/runtool.h"
#include "tests/common/scratchdir.h"

#include <QDir>
#include <stdexcept>
#include <unistd.h>

namespace {

const QStringList ecKey = {QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                           QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};

void makeCa(const QString &dir, const QString &name, const QString &commonName)
{
    runTool(QStringLiteral("openssl"),
            QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + ecKey
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
    m_dir = makeScratchDir(QStringLiteral("certs"));
    makeCa(m_dir, QStringLiteral("ca"), QStringLiteral("Quorvane Test CA"));
    makeCa(m_dir, QStringLiteral("untrusted-ca"), QStringLiteral("Quorvane Untrusted CA"));
    runTool(QStringLiteral("openssl"),
            QStringList{QStringLiteral("req"), QStringLiteral("-x509")} + ecKey
                + QStringList{QStringLiteral("-keyout"), serverKeyFile(), QStringLiteral("-out"), serverCertFile(),
                              QStringLiteral("-days"), QStringLiteral("825"),
                              QStringLiteral("-subj"), QStringLiteral("/CN=localhost"),
                              QStringLiteral("-addext"), QStringLiteral("subjectAltName=DNS:localhost"),
                              QStringLiteral("-addext"), QStringLiteral("basicConstraints=critical,CA:FALSE"),
                              QStringLiteral("-addext"), QStringLiteral("extendedKeyUsage=serverAuth"),
                              QStringLiteral("-CA"), caFile(),
                              QStringLiteral("-CAkey"), m_dir + QStringLiteral("/ca.key")});
}

TestCertificates::~TestCertificates()
{
    if (getpid() == m_owner) // not in a forked child that happens to exit normally
        QDir(m_dir).removeRecursively();
}
