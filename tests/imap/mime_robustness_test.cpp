#include "imap/mimereader.h"
#include "tests/imap/mimetestdata.h"

#include <QByteArray>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

namespace {

void expectNothingRead(const Email &email)
{
    EXPECT_EQ(email.From, QString());
    EXPECT_EQ(email.FromName, QString());
    EXPECT_EQ(email.FromAddress, QString());
    EXPECT_EQ(email.Subject, QString());
    EXPECT_EQ(email.PlainTextBody, QString());
    EXPECT_EQ(email.HTMLTextBody, QString());
    EXPECT_EQ(email.Date, ServerInternalDate());
}

// `depth` multiparts inside each other with a text part at the bottom, followed at the top level by
// a plain part that is within reach.
QByteArray deeplyNested(int depth)
{
    QByteArray raw = "From: a@example.org\r\nSubject: Deep\r\nMIME-Version: 1.0\r\n"
                     "Content-Type: multipart/mixed; boundary=\"top\"\r\n\r\n--top\r\n";
    for (int i = 0; i < depth; ++i)
        raw += "Content-Type: multipart/mixed; boundary=\"d" + QByteArray::number(i) + "\"\r\n\r\n--d"
               + QByteArray::number(i) + "\r\n";
    raw += "Content-Type: text/plain\r\n\r\nfar too deep\r\n";
    for (int i = depth - 1; i >= 0; --i)
        raw += "--d" + QByteArray::number(i) + "--\r\n";
    raw += "--top\r\nContent-Type: text/plain\r\n\r\nwithin reach\r\n--top--\r\n";
    return raw;
}

} // namespace

TEST(MimeRobustness, EmptyInputGivesEmptyValuesAndGarbageIsAllBody)
{
    expectNothingRead(ReadEmail(QByteArray(), ServerInternalDate()));

    QByteArray garbage;
    for (int i = 0; i < 4096; ++i)
        garbage.append(char((i * 37 + 11) % 256));
    // Not one header field: all of it is body text, as a mail program shows it.
    Email email = ReadEmail(garbage, ServerInternalDate());
    EXPECT_THAT(email.PlainTextBody.toStdString(), testing::StartsWith("\v0U"));
    email.PlainTextBody.clear();
    expectNothingRead(email);
}

TEST(MimeRobustness, DeepNestingStopsWithoutOverflow)
{
    const Email email = ReadEmail(deeplyNested(1000), ServerInternalDate());
    EXPECT_EQ(email.Subject, u"Deep"_s);
    EXPECT_EQ(email.PlainTextBody, u"within reach"_s);
    EXPECT_EQ(email.HTMLTextBody, QString());

    // Shallow nesting of the same shape is followed all the way down.
    EXPECT_EQ(ReadEmail(deeplyNested(10), ServerInternalDate()).PlainTextBody, u"far too deep"_s);
}

TEST(MimeRobustness, MegabyteHeaders)
{
    const QByteArray huge(1 << 20, 'x');
    const QByteArray raw = "From: Ann <ann@example.org>\r\nX-Filler: " + huge + "\r\nSubject: " + huge
                           + "\r\nDate: Tue, 14 Nov 2023 22:13:20 +0000\r\n\r\nbody\r\n";
    const Email email = ReadEmail(raw, QDateTime());
    EXPECT_EQ(email.Subject, QString::fromLatin1(huge));
    EXPECT_EQ(email.FromAddress, u"ann@example.org"_s);
    EXPECT_EQ(email.Date, ServerInternalDate());
    EXPECT_EQ(email.PlainTextBody, u"body\n"_s);
}

TEST(MimeRobustness, NulBytesAreDropped)
{
    const QByteArray raw("From: An\0n <ann@example.org>\r\nSubject: Hel\0lo\r\n"
                         "Content-Type: text/plain; charset=utf-8\r\n\r\nab\0cd \xc3\xa4\r\n",
                         100);
    const Email email = ReadEmail(raw, ServerInternalDate());
    EXPECT_EQ(email.From, u"Ann <ann@example.org>"_s);
    EXPECT_EQ(email.FromName, u"Ann"_s);
    EXPECT_EQ(email.Subject, u"Hello"_s);
    EXPECT_EQ(email.PlainTextBody, u"abcd ä\n"_s);

    // A binary-encoded body keeps its NULs until it is text; none reach the value.
    const QByteArray base64("Content-Type: text/plain\r\nContent-Transfer-Encoding: base64\r\n\r\nTwBLAA==\r\n");
    EXPECT_EQ(ReadEmail(base64, ServerInternalDate()).PlainTextBody, u"OK"_s);
}

TEST(MimeRobustness, TruncatedMessageGivesWhatWasRead)
{
    const QByteArray raw = "From: Ann <ann@example.org>\r\nSubject: Cut off\r\n"
                           "Content-Type: multipart/mixed; boundary=x\r\n\r\n--x\r\n"
                           "Content-Type: text/plain\r\nContent-Transfer-Encoding: base64\r\n\r\nSGVsbG8gd29y";
    const Email email = ReadEmail(raw, ServerInternalDate());
    EXPECT_EQ(email.From, u"Ann <ann@example.org>"_s);
    EXPECT_EQ(email.Subject, u"Cut off"_s);
    EXPECT_EQ(email.PlainTextBody, u"Hello wor"_s);

    // Cut inside the header block, in the middle of a field name.
    const Email header = ReadEmail("From: Ann <ann@example.org>\r\nSubj", ServerInternalDate());
    EXPECT_EQ(header.From, u"Ann <ann@example.org>"_s);
    EXPECT_EQ(header.FromAddress, u"ann@example.org"_s);
    EXPECT_EQ(header.Subject, QString());
    EXPECT_EQ(header.PlainTextBody, QString());
    EXPECT_EQ(header.Date, ServerInternalDate());
}
