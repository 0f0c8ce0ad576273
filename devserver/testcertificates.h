#pragma once

#include <QString>

// Certificates made with openssl once per process, in a temporary folder removed at exit:
// a CA, a server certificate for DNS:localhost only (so "127.0.0.1" is a host-name mismatch)
// signed by it, its key, and a second CA that signed nothing in use (a wrong trust anchor).
// For the same key and name: one signed by the CA that expired in 2020, and a self-signed one.
// Keys are EC P-256 (QSsl::Ec). Shared by the Dovecot fixture and the fake IMAP server.
class TestCertificates {
public:
    static const TestCertificates &instance(); // throws std::runtime_error when openssl fails

    QString caFile() const { return m_dir + QStringLiteral("/ca.crt"); }
    QString serverCertFile() const { return m_dir + QStringLiteral("/server.crt"); }
    QString serverKeyFile() const { return m_dir + QStringLiteral("/server.key"); }
    QString untrustedCaFile() const { return m_dir + QStringLiteral("/untrusted-ca.crt"); }
    QString expiredCertFile() const { return m_dir + QStringLiteral("/expired.crt"); }
    QString selfSignedCertFile() const { return m_dir + QStringLiteral("/self-signed.crt"); }

private:
    TestCertificates();
    void makeOutOfDate() const;
    ~TestCertificates();
    QString m_dir;
    long m_owner;
};
