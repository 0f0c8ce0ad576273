#pragma once

#include "imap/imapclient.h"
#include "tests/common/fakeimapserver.h"
#include "devserver/testcertificates.h"

#include <QSslCertificate>
#include <gtest/gtest.h>
#include <memory>

// A client connected over TLS to the scripted server, trusting the test CA, with a short limit.
inline std::unique_ptr<ImapClient> ConnectedTo(const FakeImapServer &server, int timeoutMs)
{
    auto client = std::make_unique<ImapClient>();
    client->setSsl(true);
    client->setPort(server.port());
    client->setExtraCaCertificates(QSslCertificate::fromPath(TestCertificates::instance().caFile()));
    client->setTimeoutMs(timeoutMs);
    EXPECT_EQ(client->connect(server.host()), 1) << client->lastErrorText().toStdString();
    return client;
}
