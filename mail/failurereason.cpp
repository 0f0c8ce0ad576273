#include "mail/failurereason.h"

QString FailureReason(ImapFailure failure, const QString &host, int port)
{
    switch (failure) {
    case ImapFailure::None:
    case ImapFailure::Refused:
    case ImapFailure::Aborted:
        return {};
    case ImapFailure::CertificateExpired:
        return QStringLiteral("The server's certificate has expired.");
    case ImapFailure::CertificateUntrusted:
        return QStringLiteral("The server's certificate is not trusted: it is self-signed or from an unknown issuer.");
    case ImapFailure::CertificateWrongHost:
        return QStringLiteral("The server's certificate is made out for another host than %1.").arg(host);
    case ImapFailure::CertificateInvalid:
        return QStringLiteral("The server's certificate is not valid.");
    case ImapFailure::TlsHandshake:
        return QStringLiteral("The secure connection (TLS handshake) with %1 on port %2 failed.").arg(host).arg(port);
    case ImapFailure::ConnectionRefused:
        return QStringLiteral("%1 refused the connection on port %2.").arg(host).arg(port);
    case ImapFailure::HostNotFound:
        return QStringLiteral("The server %1 could not be found.").arg(host);
    case ImapFailure::TimedOut:
        return QStringLiteral("The server did not answer in time.");
    case ImapFailure::ConnectionLost:
        return QStringLiteral("The connection to the server was lost.");
    case ImapFailure::ProtocolError:
        return QStringLiteral("The server's answer could not be understood.");
    case ImapFailure::NotConnected:
        return QStringLiteral("There is no connection to the server.");
    case ImapFailure::FolderChanged:
        return QStringLiteral("The folder changed on the server meanwhile.");
    case ImapFailure::Other:
        break;
    }
    return QStringLiteral("The connection could not be made.");
}
