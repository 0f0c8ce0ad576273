#include "imap/mimereader.h"
#include "tests/common/printers.h"

#include <gtest/gtest.h>

// Text cut off inside a multi-byte character: the bytes are not UTF-8, so the legacy fallback
// reads them, last byte included.
TEST(MimeTruncatedText, BodyEndingInAnUnfinishedUtf8SequenceKeepsItsLastByte)
{
    const QByteArray raw = "From: a@x.example\r\nSubject: cut\r\nContent-Type: text/plain\r\n\r\nCaf\xe9";
    const Email email = ReadEmail(raw, {});
    EXPECT_EQ(email.PlainTextBody, QStringLiteral("Caf\u00e9"));
}
