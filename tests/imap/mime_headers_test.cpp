#include "imap/mimereader.h"
#include "tests/imap/mimetestdata.h"

#include <QByteArray>
#include <QDateTime>

#include <gtest/gtest.h>

#include <ctime>
#include <utility>

using namespace Qt::Literals::StringLiterals;

namespace {

// Runs the test body under another local time zone and restores the old one afterwards.
class LocalZone {
public:
    explicit LocalZone(const char *zone) : m_old(qgetenv("TZ")), m_hadOld(qEnvironmentVariableIsSet("TZ"))
    {
        qputenv("TZ", zone);
        tzset();
    }
    ~LocalZone()
    {
        if (m_hadOld)
            qputenv("TZ", m_old);
        else
            qunsetenv("TZ");
        tzset();
    }

private:
    QByteArray m_old;
    bool m_hadOld;
};

} // namespace

TEST(MimeHeaders, DisplayNameAndAddressOfTheSender)
{
    const Email email = ReadMimeFile("alternative.eml");
    EXPECT_EQ(email.From, u"Ann Example <ann@example.org>"_s);
    EXPECT_EQ(email.FromName, u"Ann Example"_s);
    EXPECT_EQ(email.FromAddress, u"ann@example.org"_s);
    EXPECT_EQ(email.Subject, u"Quarterly figures"_s);
}

TEST(MimeHeaders, SenderWithoutDisplayNameShowsJustTheAddress)
{
    const Email bare = ReadMimeFile("no-display-name.eml");
    EXPECT_EQ(bare.From, u"carol@example.com"_s);
    EXPECT_EQ(bare.FromName, QString());
    EXPECT_EQ(bare.FromAddress, u"carol@example.com"_s);

    const Email angled = ReadEmail("From: <dave@example.com>\r\nSubject: x\r\n\r\n", ServerInternalDate());
    EXPECT_EQ(angled.From, u"dave@example.com"_s);
    EXPECT_EQ(angled.FromName, QString());
    EXPECT_EQ(angled.FromAddress, u"dave@example.com"_s);
}

TEST(MimeHeaders, FirstMailboxOfSeveralAndQuotedNames)
{
    const Email email = ReadEmail("From: \"Example, Ann\" <ann@example.org>, Bob <bob@example.net>\r\n\r\n",
                                  ServerInternalDate());
    EXPECT_EQ(email.From, u"\"Example, Ann\" <ann@example.org>, Bob <bob@example.net>"_s);
    EXPECT_EQ(email.FromName, u"Example, Ann"_s);
    EXPECT_EQ(email.FromAddress, u"ann@example.org"_s);
}

TEST(MimeHeaders, EncodedWordsAreDecodedAndJoined)
{
    const Email latin1 = ReadMimeFile("qp-latin1.eml");
    EXPECT_EQ(latin1.From, u"Jörg Müller <joerg@example.de>"_s);
    EXPECT_EQ(latin1.FromName, u"Jörg Müller"_s);
    EXPECT_EQ(latin1.FromAddress, u"joerg@example.de"_s);
    EXPECT_EQ(latin1.Subject, u"Grüße"_s);

    // A UTF-8 B-word with an emoji next to a Latin-1 Q-word: the space between them goes.
    const Email mixed = ReadMimeFile("base64-utf8.eml");
    EXPECT_EQ(mixed.Subject, u"Grüße 😀 und Köln"_s);
    EXPECT_EQ(mixed.FromName, u"Zoë Ünal"_s);
    EXPECT_EQ(mixed.From, u"Zoë Ünal <zoe@example.com>"_s);

    const Email windows = ReadMimeFile("html-only.eml");
    EXPECT_EQ(windows.Subject, u"Angebot € 50"_s);
}

TEST(MimeHeaders, BrokenEncodedWordsStillReadable)
{
    // An unknown charset falls back to UTF-8 / windows-1252; a UTF-8 character split over two
    // words is put back together.
    const Email email = ReadMimeFile("unknown-charset.eml");
    EXPECT_EQ(email.Subject, u"Café and Grüße"_s);
}

TEST(MimeHeaders, Undeclared8BitHeadersFallBack)
{
    const Email legacy = ReadMimeFile("undeclared-latin1.eml");
    EXPECT_EQ(legacy.Subject, u"Präsentation – Entwurf"_s);
    EXPECT_EQ(legacy.From, u"René Dupont <rene@example.fr>"_s);
    EXPECT_EQ(legacy.FromName, u"René Dupont"_s);

    const Email utf8 = ReadMimeFile("undeclared-utf8.eml");
    EXPECT_EQ(utf8.Subject, u"Präsentation – Entwurf"_s);
    EXPECT_EQ(utf8.FromName, u"René Dupont"_s);

    const Email invalid = ReadEmail("Subject: \xff\xfe well\r\n\r\n", ServerInternalDate());
    EXPECT_EQ(invalid.Subject, u"ÿþ well"_s);
}

TEST(MimeDates, DateHeaderInLocalTime)
{
    const LocalZone berlin("Europe/Berlin");
    const Email email = ReadMimeFile("offset-date.eml"); // 09:30 +0530
    EXPECT_EQ(email.Date.timeSpec(), Qt::LocalTime);
    EXPECT_EQ(email.Date.toUTC(), QDateTime(QDate(2023, 11, 20), QTime(4, 0), QTimeZone::utc()));
    EXPECT_EQ(email.Date.toString(Qt::ISODate), u"2023-11-20T05:00:00"_s);
}

TEST(MimeDates, MissingOrUnreadableDateUsesInternalDate)
{
    const LocalZone berlin("Europe/Berlin");
    const std::pair<const char *, QString> cases[] = {{"missing-date.eml", u"No date here"_s},
                                                      {"bad-date.eml", u"Broken date"_s}};
    for (const auto &[name, subject] : cases) {
        SCOPED_TRACE(name);
        const Email email = ReadMimeFile(name);
        EXPECT_EQ(email.Subject, subject);
        EXPECT_EQ(email.Date.timeSpec(), Qt::LocalTime);
        EXPECT_EQ(email.Date, ServerInternalDate());
        EXPECT_EQ(email.Date.toString(Qt::ISODate), u"2023-11-14T23:13:20"_s);
    }
}

TEST(MimeDates, NoDateAtAllIsInvalid)
{
    const Email email = ReadEmail(MimeFile("missing-date.eml"), QDateTime());
    EXPECT_FALSE(email.Date.isValid());
    EXPECT_EQ(email.Subject, u"No date here"_s);
}

TEST(MimeHeaders, AdjacentBase64WordsAreDecodedOneByOne)
{
    const std::pair<QByteArray, QString> cases[] = {
        {"=?UTF-8?B?SsO8cmdlbg==?= =?UTF-8?B?IE3DvGxsZXI=?=", u"Jürgen Müller"_s}, // padding ends the first
        {"=?UTF-8?B?SsO8cmdlbg?=\r\n =?utf-8?b?IE3DvGxsZXI?=", u"Jürgen Müller"_s}, // no padding, folded
        {"=?UTF-8?B?SsM=?= =?UTF-8?B?vHJnZW4=?=", u"Jürgen"_s},                     // the ü split in two
    };
    for (const auto &[words, text] : cases) {
        SCOPED_TRACE(words.toStdString());
        const Email email =
            ReadEmail("From: " + words + " <j@example.de>\r\nSubject: " + words + "\r\n\r\n", ServerInternalDate());
        EXPECT_EQ(email.Subject, text);
        EXPECT_EQ(email.FromName, text);
        EXPECT_EQ(email.From, text + u" <j@example.de>"_s);
    }
}

TEST(MimeHeaders, AFromThatIsNoAddressListKeepsItsText)
{
    const struct {
        QByteArray header;
        QString from, name, address;
    } cases[] = {
        {"MAILER DAEMON <>", u"MAILER DAEMON <>"_s, u"MAILER DAEMON"_s, {}},
        {"\"Jetmail System\" <>", u"\"Jetmail System\" <>"_s, u"Jetmail System"_s, {}},
        {"John Smith", u"John Smith"_s, u"John Smith"_s, {}},
        {"<>", u"<>"_s, {}, {}},
        {"=?UTF-8?Q?M=C3=BCller?= <>", u"Müller <>"_s, u"Müller"_s, {}},
        {"<Postmaster\\@example.com@xxx.com>", u"<Postmaster\\@example.com@xxx.com>"_s, {},
         u"Postmaster\\@example.com@xxx.com"_s},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.header.toStdString());
        const Email email = ReadEmail("From: " + c.header + "\r\nSubject: x\r\n\r\n", ServerInternalDate());
        EXPECT_EQ(email.From, c.from);
        EXPECT_EQ(email.FromName, c.name);
        EXPECT_EQ(email.FromAddress, c.address);
    }
}

TEST(MimeHeaders, AFoldedDisplayNameIsUnfolded)
{
    for (const QByteArray name : {"\"Ann\r\n Example\"", "Ann\r\n Example"}) {
        const Email email = ReadEmail("From: " + name + " <ann@example.org>\r\n\r\n", ServerInternalDate());
        EXPECT_EQ(email.FromName, u"Ann Example"_s);
        EXPECT_EQ(email.From, u"Ann Example <ann@example.org>"_s);
    }
}
