#include "devserver/testcertificates.h"
#include "imap/connectionoverrides.h"
#include "tests/common/printers.h"

#include <QTemporaryFile>
#include <gtest/gtest.h>

namespace {

// Sets or clears the three variables for one test and puts the old values back.
class Environment {
public:
    Environment(const QByteArray &host, const QByteArray &port, const QByteArray &ca)
    {
        for (const char *name : Names)
            m_saved.append(qgetenv(name));
        set(host, port, ca);
    }
    ~Environment() { set(m_saved[0], m_saved[1], m_saved[2]); }

private:
    static void set(const QByteArray &host, const QByteArray &port, const QByteArray &ca)
    {
        const QByteArray values[] = {host, port, ca};
        for (int i = 0; i < 3; ++i)
            values[i].isNull() ? qunsetenv(Names[i]) : qputenv(Names[i], values[i]);
    }
    static constexpr const char *Names[] = {"QUORVANE_IMAP_HOST", "QUORVANE_IMAP_PORT", "QUORVANE_CA_FILE"};
    QList<QByteArray> m_saved;
};

} // namespace

TEST(ImapConnectionOverrides, DefaultsAndValues)
{
    {
        Environment env({}, {}, {});
        const auto o = ConnectionOverrides::fromEnvironment();
        EXPECT_EQ(o.host, u"imap.mail.yahoo.com"_qs);
        EXPECT_EQ(o.port, 993);
        EXPECT_TRUE(o.caFile.isEmpty());
        EXPECT_TRUE(o.caCertificates().isEmpty());
    }
    for (const QByteArray bad : {"abc", "0", "70000", "-5", ""}) {
        Environment env("mail.test", bad, {});
        const auto o = ConnectionOverrides::fromEnvironment();
        EXPECT_EQ(o.host, u"mail.test"_qs);
        EXPECT_EQ(o.port, 993) << bad.toStdString();
    }
    {
        const QString ca = TestCertificates::instance().caFile();
        Environment env("localhost", " 1143 ", ca.toUtf8());
        const auto o = ConnectionOverrides::fromEnvironment();
        EXPECT_EQ(o.port, 1143);
        EXPECT_EQ(o.caFile, ca);
        EXPECT_EQ(o.caCertificates().size(), 1);
    }
}
