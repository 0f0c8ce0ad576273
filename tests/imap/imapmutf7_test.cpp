#include "imap/mutf7.h"
#include "tests/common/printers.h"

#include <QList>
#include <QStringList>

#include <gtest/gtest.h>

TEST(ImapMutf7, KnownNamesEncodeAndDecode)
{
    const QList<std::pair<QString, QByteArray>> pairs = {
        {u"INBOX"_qs, "INBOX"},
        {u"Entwürfe"_qs, "Entw&APw-rfe"},
        {u"&"_qs, "&-"},
        {u"Tom & Jerry"_qs, "Tom &- Jerry"},
        {u"[Yahoo! Mail]/Sent"_qs, "[Yahoo! Mail]/Sent"},
        {u"日本語"_qs, "&ZeVnLIqe-"},
        {u"~peter/mail/台北/日本語"_qs, "~peter/mail/&U,BTFw-/&ZeVnLIqe-"},
    };
    for (const auto &[text, encoded] : pairs) {
        EXPECT_EQ(EncodeMailboxName(text), encoded) << text.toStdString();
        EXPECT_EQ(DecodeMailboxName(encoded), text) << encoded.toStdString();
    }
}

TEST(ImapMutf7, RoundTripsAwkwardText)
{
    const QStringList texts = {u"ä"_qs, u"äö"_qs, u"äöü"_qs, u"a&b&&c"_qs, u"€uro 😀 emoji"_qs,
                               u"tab\there"_qs, u"~/.,;+-"_qs, QString()};
    for (const QString &text : texts) {
        const QByteArray encoded = EncodeMailboxName(text);
        for (char c : encoded)
            EXPECT_TRUE(c >= 0x20 && c <= 0x7e) << text.toStdString();
        EXPECT_EQ(DecodeMailboxName(encoded), text) << text.toStdString();
    }
}

TEST(ImapMutf7, BrokenSequencesAreRefused)
{
    const QList<QByteArray> broken = {
        "Entw&APw",      // no closing '-'
        "a&AP!-b",       // not a base64 digit
        "&AP-",          // an odd number of bytes
        "&APx-",         // leftover bits not zero
        "&AGE-",         // "a" shifted although it is plain ASCII
        "Entw\xc3\xbc" "rfe", // raw 8-bit bytes
        "&A-",           // one lone digit
    };
    for (const QByteArray &b : broken)
        EXPECT_FALSE(DecodeMailboxName(b).has_value()) << b.toStdString();
}
