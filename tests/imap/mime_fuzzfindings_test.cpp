// Messages the fuzz target (tests/fuzz) broke an invariant with, kept as cases.
#include "tests/imap/mimetestdata.h"

#include <gtest/gtest.h>

namespace {

Email readFinding(const char *name)
{
    QFile file(QStringLiteral(QUORVANE_TEST_DATA_DIR "/fuzz/regressions/") + QString::fromUtf8(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return ReadEmail(file.readAll(), ServerInternalDate());
}

} // namespace

// No header block, a body with a lone CR: the CR ends a line like CRLF does.
TEST(MimeFuzzFindings, LoneCrInBodyBecomesLf)
{
    EXPECT_EQ(readFinding("mime-lone-cr-body.eml").PlainTextBody, u"\nJ\n\n\u00b7"_qs);
}

// CRLF converted to CRLF again ("\r\r\n") is one line end.
TEST(MimeFuzzFindings, DoubledCrBeforeLfIsOneLineEnd)
{
    EXPECT_EQ(readFinding("mime-double-cr-body.eml").PlainTextBody, u"A\nB\nC\n"_qs);
}
