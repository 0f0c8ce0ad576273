// Inputs the fuzz targets (tests/fuzz) broke an invariant with, kept as cases.
#include "imap/imapvalue.h"
#include "imap/mutf7.h"
#include "imap/responsereader.h"
#include "tests/common/printers.h"

#include <QFile>
#include <gtest/gtest.h>

namespace {

QByteArray finding(const char *name)
{
    QFile file(QStringLiteral(QUORVANE_TEST_DATA_DIR "/fuzz/regressions/") + QString::fromUtf8(name));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return file.readAll();
}

} // namespace

// "&2AA-&AOQ-": two shifted runs in a row (an encoder writes one) holding a lone surrogate.
// Decoded, the name would be selected as different bytes; raw, it is selected as listed.
TEST(ImapFuzzFindings, AdjacentShiftedRunsAndLoneSurrogatesAreNotDecoded)
{
    const QByteArray name = finding("imap-adjacent-mutf7-runs.txt").trimmed();
    ASSERT_EQ(name, "&2AA-&AOQ-");
    EXPECT_FALSE(DecodeMailboxName(name).has_value());
    EXPECT_FALSE(DecodeMailboxName("&AOQ-&AOQ-").has_value());
    EXPECT_FALSE(DecodeMailboxName("&2AA-").has_value());
    EXPECT_EQ(DecodeMailboxName("&AOQA5A-"), u"\u00e4\u00e4"_qs);
    EXPECT_EQ(DecodeMailboxName("&AOQ-&-&AOQ-"), u"\u00e4&\u00e4"_qs);
    EXPECT_EQ(DecodeMailboxName("&2D3eAA-"), u"\U0001F600"_qs);
}

TEST(ImapFuzzFindings, DeepNestingIsRefusedWithoutExhaustingTheStack)
{
    ResponseReader reader;
    reader.feed("* 1 FETCH " + QByteArray(ResponseReader::MaxLineBytes - 16, '(') + "\r\n");
    const auto deep = reader.next();
    ASSERT_TRUE(deep.has_value());
    EXPECT_FALSE(ParseResponseValues(*deep).has_value());

    ImapResponse shallow; // nesting real answers use still parses
    shallow.lines = {"* 1 FETCH " + QByteArray(100, '(') + QByteArray(100, ')')};
    EXPECT_TRUE(ParseResponseValues(shallow).has_value());
}

// A line of the largest accepted length, its CRLF cut between CR and LF, reads as it does whole.
TEST(ImapFuzzFindings, LongestLineCutBeforeItsLfIsAccepted)
{
    const QByteArray line(ResponseReader::MaxLineBytes, 'y');
    ResponseReader whole;
    whole.feed(line + "\r\n");
    ResponseReader cut;
    cut.feed(line + "\r");
    cut.feed("\n");
    ASSERT_FALSE(whole.failed());
    EXPECT_FALSE(cut.failed());
    const auto response = cut.next();
    ASSERT_TRUE(response.has_value());
    EXPECT_EQ(response->lines, QList<QByteArray>{line});

    ResponseReader over; // one byte more is still refused
    over.feed(line + "y\r");
    EXPECT_TRUE(over.failed());
}
