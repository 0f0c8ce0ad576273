#include "imap/mimereader.h"
#include "tests/imap/mimetestdata.h"

#include <QByteArray>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

TEST(MimeBodies, AlternativeGivesBothBodiesWithLfLineEnds)
{
    const Email email = readMimeFile("alternative.eml");
    EXPECT_EQ(email.PlainTextBody, u"Hello Bob,\nthe figures are attached.\n"_s);
    EXPECT_EQ(email.HTMLTextBody, u"<p>Hello Bob,<br>the figures are attached.</p>\n"_s);
    EXPECT_EQ(email.Date, serverInternalDate()); // its Date header is the same instant

    // A message stored with bare LF reads the same.
    QByteArray lfOnly = mimeFile("alternative.eml");
    lfOnly.replace("\r\n", "\n");
    const Email fromLf = ReadEmail(lfOnly, serverInternalDate());
    EXPECT_EQ(fromLf.PlainTextBody, email.PlainTextBody);
    EXPECT_EQ(fromLf.HTMLTextBody, email.HTMLTextBody);
    EXPECT_EQ(fromLf.From, email.From);
}

TEST(MimeBodies, QuotedPrintableLatin1)
{
    const Email email = readMimeFile("qp-latin1.eml");
    EXPECT_EQ(email.PlainTextBody,
              u"Umlaute: ä ö ü ß und ÄÖÜ.\n"
              "Diese Zeile ist sehr lang und wird mit einem weichen Zeilenumbruch fortgesetzt, "
              "ohne dass ein Umbruch im Text bleibt.\n"
              "Gleichheitszeichen: 1+1=2\n"_s);
    EXPECT_EQ(email.HTMLTextBody, QString());
}

TEST(MimeBodies, Base64Utf8WithCharactersBeyondTheBmp)
{
    const Email email = readMimeFile("base64-utf8.eml");
    EXPECT_EQ(email.PlainTextBody, u"Grüße aus Köln 😀\nZweite Zeile: 𝄞 Ende\n"_s);
    EXPECT_EQ(email.HTMLTextBody, QString());
}

TEST(MimeBodies, HtmlOnlyInWindows1252)
{
    const Email email = readMimeFile("html-only.eml");
    EXPECT_EQ(email.PlainTextBody, QString());
    EXPECT_EQ(email.HTMLTextBody, u"<html><body><p>Nur heute: € 50 – „Sonderpreis“</p></body></html>\n"_s);
}

TEST(MimeBodies, AttachmentsAreNeverTheBody)
{
    // Before the real body: a text attachment, a text part named only in Content-Type and an
    // inline HTML file; after it a PDF.
    const Email email = readMimeFile("attachments.eml");
    EXPECT_EQ(email.PlainTextBody, u"Please find the report attached."_s);
    EXPECT_EQ(email.HTMLTextBody, QString());
    EXPECT_EQ(email.Subject, u"Report and notes"_s);
}

TEST(MimeBodies, NestedMultipartsDepthFirst)
{
    const Email email = readMimeFile("nested.eml");
    EXPECT_EQ(email.PlainTextBody, u"Plain text deep inside."_s);
    EXPECT_EQ(email.HTMLTextBody, u"<p>HTML deep inside <img src=\"cid:logo\"></p>"_s);
}

TEST(MimeBodies, AttachedMessageIsNotEntered)
{
    const Email email = readMimeFile("forwarded.eml");
    EXPECT_EQ(email.PlainTextBody, QString());
    EXPECT_EQ(email.HTMLTextBody, u"<p>See the forwarded message.</p>"_s);
    EXPECT_EQ(email.From, u"Ann Example <ann@example.org>"_s);
    EXPECT_EQ(email.Subject, u"Fwd: Inner subject"_s);
    EXPECT_EQ(email.Date, QDateTime(QDate(2023, 11, 24), QTime(8, 0), QTimeZone::utc()));
}

TEST(MimeCharsets, Undeclared8BitBodyIsUtf8WhenValidElseWindows1252)
{
    EXPECT_EQ(readMimeFile("undeclared-latin1.eml").PlainTextBody, u"Grüße, der Preis ist 5 €.\n"_s);
    EXPECT_EQ(readMimeFile("undeclared-utf8.eml").PlainTextBody, u"Grüße, der Preis ist 5 €.\n"_s);
}

TEST(MimeCharsets, UnknownCharsetFallsBack)
{
    // Same unknown label on both parts: Latin-1 bytes in the plain part, UTF-8 in the HTML part.
    const Email email = readMimeFile("unknown-charset.eml");
    EXPECT_EQ(email.PlainTextBody, u"Café crème"_s);
    EXPECT_EQ(email.HTMLTextBody, u"<p>Café crème</p>"_s);
}

TEST(MimeCharsets, DeclaredCharsetThatDoesNotFitFallsBack)
{
    // Labelled US-ASCII and UTF-8 but written in windows-1252, as old clients do.
    const Email ascii = ReadEmail("Content-Type: text/plain; charset=us-ascii\r\n\r\n5 \x80 f\xfcr dich\r\n",
                                  serverInternalDate());
    EXPECT_EQ(ascii.PlainTextBody, u"5 € für dich\n"_s);
    const Email utf8 = ReadEmail("Content-Type: text/plain; charset=utf-8\r\n\r\nna\xefve\r\n", serverInternalDate());
    EXPECT_EQ(utf8.PlainTextBody, u"naïve\n"_s);
}

TEST(MimeCharsets, KnownLegacyCharsetsConvert)
{
    const Email koi8 = ReadEmail("Subject: =?koi8-r?B?8NLJ18XU?=\r\nContent-Type: text/plain; charset=koi8-r\r\n"
                                 "\r\n\xf0\xd2\xc9\xd7\xc5\xd4\r\n",
                                 serverInternalDate());
    EXPECT_EQ(koi8.Subject, u"Привет"_s);
    EXPECT_EQ(koi8.PlainTextBody, u"Привет\n"_s);
    const Email utf16 = ReadEmail(QByteArray("Content-Type: text/plain; charset=utf-16le\r\n"
                                             "Content-Transfer-Encoding: base64\r\n\r\nSABpACEA\r\n"),
                                  serverInternalDate());
    EXPECT_EQ(utf16.PlainTextBody, u"Hi!"_s);
}
