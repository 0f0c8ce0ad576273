#include "imap/connectionoverrides.h"

#include <QtGlobal>

ConnectionOverrides ConnectionOverrides::fromEnvironment()
{
    ConnectionOverrides o;
    o.host = qEnvironmentVariable("QUORVANE_IMAP_HOST").trimmed();
    if (o.host.isEmpty())
        o.host = QStringLiteral("imap.mail.yahoo.com");
    bool ok = false;
    const int port = qEnvironmentVariable("QUORVANE_IMAP_PORT").trimmed().toInt(&ok);
    if (ok && port >= 1 && port <= 65535)
        o.port = port;
    o.caFile = qEnvironmentVariable("QUORVANE_CA_FILE");
    return o;
}

QList<QSslCertificate> ConnectionOverrides::caCertificates() const
{
    if (caFile.isEmpty())
        return {};
    return QSslCertificate::fromPath(caFile, QSsl::Pem, QSslCertificate::PatternSyntax::FixedString);
}
