#include "imap/imapclient.h"
#include "devserver/dovecotfixture.h"
#include "tests/imap/mailcorpus.h"

#include <QFile>
#include <QSslCertificate>
#include <gtest/gtest.h>

// A run reads each message in parts (its header, the headers of its parts and the bodies the
// listing shows) where that leaves something out. Whatever the message, the values must be those
// of the whole message: every message of tests/data, of the real-world corpus and of a table of
// malformed ones, stored in a real Dovecot, read both ways and compared.
namespace {

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll();
}

const QByteArray Attachment = "Content-Type: application/octet-stream; name=a.bin\r\n"
                              "Content-Disposition: attachment; filename=a.bin\r\n"
                              "Content-Transfer-Encoding: base64\r\n\r\n"
                              + QByteArray(3000, 'x').toBase64() + "\r\n";

QByteArray mixed(const QByteArray &head, const QByteArray &parts, const QByteArray &end = "--b--\r\n")
{
    return "From: Ann <ann@example.org>\r\nSubject: parts\r\nDate: Fri, 05 Mar 2021 10:00:00 +0000\r\n" + head
           + "\r\n" + parts + end;
}

const QByteArray Mixed = "Content-Type: multipart/mixed; boundary=b\r\n";

// Where the server's reading of a message may differ from ours, each with parts to leave out.
const std::pair<const char *, QByteArray> Malformed[] = {
    {"a header line that is no field",
     mixed("not a field\r\n" + Mixed, "--b\r\nContent-Type: text/plain\r\n\r\nhello\r\n--b\r\n" + Attachment)},
    {"no header at all", "just text\r\n--b\r\nContent-Type: text/plain\r\n\r\nhello\r\n--b\r\n" + Attachment + "--b--\r\n"},
    {"a part header line that is no field",
     mixed(Mixed, "--b\r\nContent-Type: text/plain\r\ngarbage\r\n\r\nhello\r\n--b\r\n" + Attachment)},
    {"a digest's entry without a type",
     mixed("Content-Type: multipart/digest; boundary=b\r\n",
           "--b\r\nContent-Description: entry\r\n\r\nSubject: inner\r\n\r\ninner text\r\n--b\r\n"
               "Content-Type: text/plain\r\n\r\nafter\r\n--b\r\n" + Attachment)},
    {"a content type without its semicolon",
     mixed(Mixed, "--b\r\nContent-Type: text/html charset=utf-8\r\n\r\n<p>x</p>\r\n--b\r\n" + Attachment)},
    {"a disposition with a comment",
     mixed(Mixed, "--b\r\nContent-Type: text/plain\r\nContent-Disposition: (c) attachment\r\n\r\nx\r\n--b\r\n" + Attachment)},
    {"two content types",
     mixed(Mixed, "--b\r\nContent-Type: text/plain\r\nContent-Type: text/html\r\n\r\nx\r\n--b\r\n" + Attachment)},
    {"text to the server only, and an enclosed message",
     mixed(Mixed, "--b\r\nContent-Type: text/plain\r\nContent-Type: image/png\r\n\r\nx\r\n--b\r\n"
                  "Content-Type: message/rfc822\r\n\r\nSubject: inner\r\n\r\ninner text\r\n--b\r\n" + Attachment)},
    {"no text of its own but an enclosed message",
     mixed(Mixed, "--b\r\n" + Attachment + "--b\r\nContent-Type: message/rfc822\r\n\r\nSubject: inner\r\n\r\ninner text\r\n")},
    {"a line that starts with the boundary",
     mixed(Mixed, "--b\r\nContent-Type: text/html\r\n\r\n<p>hi</p>\r\n--b-not-really\r\n\r\nmore\r\n--b\r\n" + Attachment)},
    {"no closing boundary", mixed(Mixed, "--b\r\nContent-Type: text/plain\r\n\r\nhello\r\n--b\r\n" + Attachment, "")},
    {"a multipart without boundary", mixed("Content-Type: multipart/mixed\r\n", "--b\r\n" + Attachment)},
    {"text marked as attachment before the text",
     mixed(Mixed, "--b\r\nContent-Type: text/plain\r\nContent-Disposition: attachment\r\n\r\nnot this\r\n"
                  "--b\r\nContent-Type: text/plain; name=inline.txt\r\nContent-Disposition: inline\r\n\r\nthis\r\n"
                  "--b\r\nContent-Type: text/html\r\n\r\n<p>this</p>\r\n--b\r\n" + Attachment)},
    {"a malformed content type", mixed(Mixed, "--b\r\nContent-Type: text\r\n\r\nhello\r\n--b\r\n" + Attachment)},
    {"an empty content type", mixed(Mixed, "--b\r\nContent-Type:\r\n\r\nhello\r\n--b\r\n" + Attachment)},
    {"text under a wrong base64 header",
     mixed(Mixed, "--b\r\nContent-Type: text/plain\r\nContent-Transfer-Encoding: base64\r\n\r\nnot base64 at all!\r\n--b\r\n"
                      + Attachment)},
    {"a boundary split by RFC 2231",
     mixed("Content-Type: multipart/mixed; boundary*0=b; boundary*1=2\r\n",
           "--b2\r\nContent-Type: text/plain\r\n\r\nhello\r\n--b2\r\n" + Attachment, "--b2--\r\n")},
    {"the inner multipart reuses the boundary",
     mixed(Mixed, "--b\r\nContent-Type: multipart/alternative; boundary=b\r\n\r\n--b\r\nContent-Type: text/plain\r\n\r\n"
                  "inner\r\n--b--\r\n--b\r\n" + Attachment)},
    {"NUL bytes and 8-bit text",
     mixed(Mixed, QByteArray("--b\r\nContent-Type: text/plain\r\n\r\nnul\0here \xe9t\xe9\r\n--b\r\n", 54) + Attachment)},
    {"bare line feeds in a part header",
     mixed(Mixed, "--b\r\nContent-Type: text/plain\nContent-Transfer-Encoding: 8bit\r\n\r\nhello\r\n--b\r\n" + Attachment)},
    {"a folded part header first",
     mixed(Mixed, "--b\r\n Content-Type: text/html\r\n\r\n<p>x</p>\r\n--b\r\n" + Attachment)},
};

struct Message {
    QString name;
    QByteArray bytes;
};

QList<Message> everyMessage()
{
    QList<Message> messages;
    for (const DovecotFixture::Folder &folder : DovecotFixture::loadSeedData())
        for (const QByteArray &bytes : folder.messages)
            messages.append({u"seed/"_qs + folder.name, bytes});
    const QDir mime(QStringLiteral(QUORVANE_TEST_DATA_DIR "/mime"));
    for (const QString &file : mime.entryList({u"*.eml"_qs}, QDir::Files, QDir::Name))
        messages.append({u"mime/"_qs + file, fileBytes(mime.filePath(file))});
    for (const CorpusFile &file : CorpusFiles())
        messages.append({file.name, fileBytes(file.path)});
    for (const auto &[name, bytes] : Malformed)
        messages.append({u"malformed/"_qs + QString::fromUtf8(name), bytes});
    return messages;
}

std::unique_ptr<ImapClient> reading(const DovecotFixture::Account &account, int count)
{
    auto &server = DovecotFixture::instance();
    auto client = std::make_unique<ImapClient>();
    client->setSsl(true);
    client->setPort(server.port());
    client->setExtraCaCertificates(QSslCertificate::fromPath(server.caFile()));
    EXPECT_EQ(client->connect(server.host()), 1) << client->lastErrorText().toStdString();
    EXPECT_EQ(client->login(account.user, account.password), 1) << client->lastErrorText().toStdString();
    EXPECT_EQ(client->selectMailbox(u"INBOX"_qs), 1) << client->lastErrorText().toStdString();
    EXPECT_EQ(client->messageCount(), count);
    client->expectSequentialFetches(1, count);
    return client;
}

} // namespace

TEST(ImapParts, EveryMessageReadInPartsGivesTheValuesOfTheWholeMessage)
{
    const QList<Message> messages = everyMessage();
    ASSERT_GE(messages.size(), 250) << "the corpus packages are missing: run scripts/setup-debian.sh";
    QList<QByteArray> stored;
    for (const Message &message : messages)
        stored.append(message.bytes);
    const auto account = DovecotFixture::instance().createAccount({{u"INBOX"_qs, stored}});
    const int count = int(messages.size());
    auto whole = reading(account, count);
    whole->setReadAhead(0, 0); // no outlines: every message whole
    auto parts = reading(account, count);

    int inParts = 0;
    for (int n = 1; n <= count; ++n) {
        SCOPED_TRACE(messages[n - 1].name.toStdString());
        const auto expected = whole->fetchSingle(n, false);
        ASSERT_NE(expected, nullptr) << whole->lastErrorText().toStdString();
        EXPECT_TRUE(whole->lastErrorText().contains(u"BODY.PEEK[] "_qs));
        const auto read = parts->fetchSingle(n, false);
        ASSERT_NE(read, nullptr) << parts->lastErrorText().toStdString();
        inParts += parts->lastErrorText().contains(u"BODY.PEEK[HEADER]"_qs) ? 1 : 0;
        EXPECT_EQ(read->From, expected->From);
        EXPECT_EQ(read->FromName, expected->FromName);
        EXPECT_EQ(read->FromAddress, expected->FromAddress);
        EXPECT_EQ(read->Subject, expected->Subject);
        EXPECT_EQ(read->Date, expected->Date);
        EXPECT_EQ(read->PlainTextBody.toStdString(), expected->PlainTextBody.toStdString());
        EXPECT_EQ(read->HTMLTextBody.toStdString(), expected->HTMLTextBody.toStdString());
    }
    std::printf("%d of %d messages read in parts\n", inParts, count);
    EXPECT_GE(inParts, 60) << "the parts were hardly ever read on their own";
}
