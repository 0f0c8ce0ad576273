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
    const Email email = readMimeFile("alternative.eml");
    EXPECT_EQ(email.From, u"Ann Example <ann@example.org>"_s);
    EXPECT_EQ(email.FromName, u"Ann Example"_s);
    EXPECT_EQ(email.FromAddress, u"ann@example.org"_s);
    EXPECT_EQ(email.Subject, u"Quarterly figures"_s);
}

TEST(MimeHeaders, SenderWithoutDisplayNameShowsJustTheAddress)
{
    const Email bare = readMimeFile("no-display-name.eml");
    EXPECT_EQ(bare.From, u"carol@example.com"_s);
    EXPECT_EQ(bare.FromName, QString());
    EXPECT_EQ(bare.FromAddress, u"carol@example.com"_s);

    const Email angled = ReadEmail("From: <dave@example.com>\r\nSubject: x\r\n\r\n", serverInternalDate());
    EXPECT_EQ(angled.From, u"dave@example.com"_s);
    EXPECT_EQ(angled.FromName, QString());
    EXPECT_EQ(angled.FromAddress, u"dave@example.com"_s);
}

TEST(MimeHeaders, FirstMailboxOfSeveralAndQuotedNames)
{
    const Email email = ReadEmail("From: \"Example, Ann\" <ann@example.org>, Bob <bob@example.net>\r\n\r\n",
                                  serverInternalDate());
    EXPECT_EQ(email.From, u"\"Example, Ann\" <ann@example.org>, Bob <bob@example.net>"_s);
    EXPECT_EQ(email.FromName, u"Example, Ann"_s);
    EXPECT_EQ(email.FromAddress, u"ann@example.org"_s);
}

TEST(MimeHeaders, EncodedWordsAreDecodedAndJoined)
{
    const Email latin1 = readMimeFile("qp-latin1.eml");
    EXPECT_EQ(latin1.From, u"Jörg Müller <joerg@example.de>"_s);
    EXPECT_EQ(latin1.FromName, u"Jörg Müller"_s);
    EXPECT_EQ(latin1.FromAddress, u"joerg@example.de"_s);
    EXPECT_EQ(latin1.Subject, u"Grüße"_s);

    // A UTF-8 B-word with an emoji next to a Latin-1 Q-word: the space between them goes.
    const Email mixed = readMimeFile("base64-utf8.eml");
    EXPECT_EQ(mixed.Subject, u"Grüße 😀 und Köln"_s);
    EXPECT_EQ(mixed.FromName, u"Zoë Ünal"_s);
    EXPECT_EQ(mixed.From, u"Zoë Ünal <zoe@example.com>"_s);

    const Email windows = readMimeFile("html-only.eml");
    EXPECT_EQ(windows.Subject, u"Angebot € 50"_s);
}

TEST(MimeHeaders, BrokenEncodedWordsStillReadable)
{
    // An unknown charset falls back to UTF-8 / windows-1252; a UTF-8 character split over two
    // words is put back together.
    const Email email = readMimeFile("unknown-charset.eml");
    EXPECT_EQ(email.Subject, u"Café and Grüße"_s);
}

TEST(MimeHeaders, Undeclared8BitHeadersFallBack)
{
    const Email legacy = readMimeFile("undeclared-latin1.eml");
    EXPECT_EQ(legacy.Subject, u"Präsentation – Entwurf"_s);
    EXPECT_EQ(legacy.From, u"René Dupont <rene@example.fr>"_s);
    EXPECT_EQ(legacy.FromName, u"René Dupont"_s);

    const Email utf8 = readMimeFile("undeclared-utf8.eml");
    EXPECT_EQ(utf8.Subject, u"Präsentation – Entwurf"_s);
    EXPECT_EQ(utf8.FromName, u"René Dupont"_s);

    const Email invalid = ReadEmail("Subject: \xff\xfe well\r\n\r\n", serverInternalDate());
    EXPECT_EQ(invalid.Subject, u"ÿþ well"_s);
}

TEST(MimeDates, DateHeaderInLocalTime)
{
    const LocalZone berlin("Europe/Berlin");
    const Email email = readMimeFile("offset-date.eml"); // 09:30 +0530
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
        const Email email = readMimeFile(name);
        EXPECT_EQ(email.Subject, subject);
        EXPECT_EQ(email.Date.timeSpec(), Qt::LocalTime);
        EXPECT_EQ(email.Date, serverInternalDate());
        EXPECT_EQ(email.Date.toString(Qt::ISODate), u"2023-11-14T23:13:20"_s);
    }
}

TEST(MimeDates, NoDateAtAllIsInvalid)
{
    const Email email = ReadEmail(mimeFile("missing-date.eml"), QDateTime());
    EXPECT_FALSE(email.Date.isValid());
    EXPECT_EQ(email.Subject, u"No date here"_s);
}
