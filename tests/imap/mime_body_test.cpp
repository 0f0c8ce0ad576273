#include "imap/mimereader.h"
#include "tests/imap/mimetestdata.h"

#include <QByteArray>

#include <gtest/gtest.h>

using namespace Qt::Literals::StringLiterals;

TEST(MimeBodies, AlternativeGivesBothBodiesWithLfLineEnds)
{
    const Email email = ReadMimeFile("alternative.eml");
    EXPECT_EQ(email.PlainTextBody, u"Hello Bob,\nthe figures are attached.\n"_s);
    EXPECT_EQ(email.HTMLTextBody, u"<p>Hello Bob,<br>the figures are attached.</p>\n"_s);
    EXPECT_EQ(email.Date, ServerInternalDate()); // its Date header is the same instant

    // A message stored with bare LF reads the same.
    QByteArray lfOnly = MimeFile("alternative.eml");
    lfOnly.replace("\r\n", "\n");
    const Email fromLf = ReadEmail(lfOnly, ServerInternalDate());
    EXPECT_EQ(fromLf.PlainTextBody, email.PlainTextBody);
    EXPECT_EQ(fromLf.HTMLTextBody, email.HTMLTextBody);
    EXPECT_EQ(fromLf.From, email.From);
}

TEST(MimeBodies, QuotedPrintableLatin1)
{
    const Email email = ReadMimeFile("qp-latin1.eml");
    EXPECT_EQ(email.PlainTextBody,
              u"Umlaute: ä ö ü ß und ÄÖÜ.\n"
              "Diese Zeile ist sehr lang und wird mit einem weichen Zeilenumbruch fortgesetzt, "
              "ohne dass ein Umbruch im Text bleibt.\n"
              "Gleichheitszeichen: 1+1=2\n"_s);
    EXPECT_EQ(email.HTMLTextBody, QString());
}

TEST(MimeBodies, Base64Utf8WithCharactersBeyondTheBmp)
{
    const Email email = ReadMimeFile("base64-utf8.eml");
    EXPECT_EQ(email.PlainTextBody, u"Grüße aus Köln 😀\nZweite Zeile: 𝄞 Ende\n"_s);
    EXPECT_EQ(email.HTMLTextBody, QString());
}

TEST(MimeBodies, HtmlOnlyInWindows1252)
{
    const Email email = ReadMimeFile("html-only.eml");
    EXPECT_EQ(email.PlainTextBody, QString());
    EXPECT_EQ(email.HTMLTextBody, u"<html><body><p>Nur heute: € 50 – „Sonderpreis“</p></body></html>\n"_s);
}

TEST(MimeBodies, OnlyAnAttachmentDispositionMakesAnAttachment)
{
    // A text attachment first; then the body parts, one named in Content-Type, one inline with a
    // file name; then a PDF.
    const Email email = ReadMimeFile("attachments.eml");
    EXPECT_EQ(email.PlainTextBody, u"Please find the report attached."_s);
    EXPECT_EQ(email.HTMLTextBody, u"<p>Please find the report attached.</p>"_s);
    EXPECT_EQ(email.Subject, u"Report and notes"_s);
}

TEST(MimeBodies, NestedMultipartsDepthFirst)
{
    const Email email = ReadMimeFile("nested.eml");
    EXPECT_EQ(email.PlainTextBody, u"Plain text deep inside."_s);
    EXPECT_EQ(email.HTMLTextBody, u"<p>HTML deep inside <img src=\"cid:logo\"></p>"_s);
}

TEST(MimeBodies, AttachedMessageIsNotEntered)
{
    const Email email = ReadMimeFile("forwarded.eml");
    EXPECT_EQ(email.PlainTextBody, QString());
    EXPECT_EQ(email.HTMLTextBody, u"<p>See the forwarded message.</p>"_s);
    EXPECT_EQ(email.From, u"Ann Example <ann@example.org>"_s);
    EXPECT_EQ(email.Subject, u"Fwd: Inner subject"_s);
    EXPECT_EQ(email.Date, QDateTime(QDate(2023, 11, 24), QTime(8, 0), QTimeZone::utc()));
}

TEST(MimeCharsets, Undeclared8BitBodyIsUtf8WhenValidElseWindows1252)
{
    EXPECT_EQ(ReadMimeFile("undeclared-latin1.eml").PlainTextBody, u"Grüße, der Preis ist 5 €.\n"_s);
    EXPECT_EQ(ReadMimeFile("undeclared-utf8.eml").PlainTextBody, u"Grüße, der Preis ist 5 €.\n"_s);
}

TEST(MimeCharsets, UnknownCharsetFallsBack)
{
    // Same unknown label on both parts: Latin-1 bytes in the plain part, UTF-8 in the HTML part.
    const Email email = ReadMimeFile("unknown-charset.eml");
    EXPECT_EQ(email.PlainTextBody, u"Café crème"_s);
    EXPECT_EQ(email.HTMLTextBody, u"<p>Café crème</p>"_s);
}

TEST(MimeCharsets, DeclaredCharsetThatDoesNotFitFallsBack)
{
    // Labelled US-ASCII and UTF-8 but written in windows-1252, as old clients do.
    const Email ascii = ReadEmail("Content-Type: text/plain; charset=us-ascii\r\n\r\n5 \x80 f\xfcr dich\r\n",
                                  ServerInternalDate());
    EXPECT_EQ(ascii.PlainTextBody, u"5 € für dich\n"_s);
    const Email utf8 = ReadEmail("Content-Type: text/plain; charset=utf-8\r\n\r\nna\xefve\r\n", ServerInternalDate());
    EXPECT_EQ(utf8.PlainTextBody, u"naïve\n"_s);
}

TEST(MimeCharsets, KnownLegacyCharsetsConvert)
{
    const Email koi8 = ReadEmail("Subject: =?koi8-r?B?8NLJ18XU?=\r\nContent-Type: text/plain; charset=koi8-r\r\n"
                                 "\r\n\xf0\xd2\xc9\xd7\xc5\xd4\r\n",
                                 ServerInternalDate());
    EXPECT_EQ(koi8.Subject, u"Привет"_s);
    EXPECT_EQ(koi8.PlainTextBody, u"Привет\n"_s);
    const Email utf16 = ReadEmail(QByteArray("Content-Type: text/plain; charset=utf-16le\r\n"
                                             "Content-Transfer-Encoding: base64\r\n\r\nSABpACEA\r\n"),
                                  ServerInternalDate());
    EXPECT_EQ(utf16.PlainTextBody, u"Hi!"_s);
}

TEST(MimeBodies, MissingSubtypeOrMalformedContentTypeIsPlainText)
{
    for (const char *type : {"text", "<html>", "text/", ""}) {
        SCOPED_TRACE(type);
        const Email email = ReadEmail(QByteArray("Subject: t\r\nContent-Type: ") + type + "\r\n\r\nHello\r\n",
                                      ServerInternalDate());
        EXPECT_EQ(email.PlainTextBody, u"Hello\n"_s);
    }
    EXPECT_EQ(ReadEmail("Content-Type: application/octet-stream\r\n\r\nHello\r\n", ServerInternalDate()).PlainTextBody,
              QString());
}

TEST(MimeBodies, WithoutTextOfItsOwnTheFirstEnclosedMessageGivesTheBodies)
{
    const QByteArray inner = "From: Inner <inner@example.net>\r\nSubject: Inner\r\n"
                             "Content-Type: multipart/alternative; boundary=in\r\n\r\n"
                             "--in\r\nContent-Type: text/plain\r\n\r\nInner plain.\r\n"
                             "--in\r\nContent-Type: text/html\r\n\r\n<p>Inner HTML.</p>\r\n--in--\r\n";
    const QByteArray messages[] = {
        "Subject: Outer\r\nContent-Type: message/rfc822\r\n\r\n" + inner,
        // A digest's parts are message/rfc822 by default.
        "Subject: Outer\r\nContent-Type: multipart/digest; boundary=d\r\n\r\n--d\r\n\r\n" + inner
            + "--d\r\n\r\nSubject: Second\r\n\r\nSecond.\r\n--d--\r\n",
        "Subject: Outer\r\nContent-Type: multipart/mixed; boundary=m\r\n\r\n--m\r\nContent-Type: message/rfc822\r\n"
        "Content-Disposition: attachment\r\n\r\n" + inner + "--m--\r\n",
    };
    for (const QByteArray &raw : messages) {
        const Email email = ReadEmail(raw, ServerInternalDate());
        EXPECT_EQ(email.Subject, u"Outer"_s);
        EXPECT_EQ(email.PlainTextBody, u"Inner plain."_s);
        EXPECT_EQ(email.HTMLTextBody, u"<p>Inner HTML.</p>"_s);
    }
}

TEST(MimeBodies, LinesThatAreNotHeaderFieldsAreBodyText)
{
    const struct {
        QByteArray raw;
        QString subject, plain, html;
    } cases[] = {
        {"// Not a mail header\r\nSecond line\r\n", {}, u"// Not a mail header\nSecond line\n"_s, {}},
        {"From: Ann <ann@example.org>\r\nSubject: Hi\r\nThe body starts here.\r\n", u"Hi"_s,
         u"The body starts here.\n"_s, {}},
        {"Subject: Parts\r\nContent-Type: multipart/alternative; boundary=b\r\nThis is a multi-part message.\r\n"
         "--b\r\nContent-Type: text/plain\r\n\r\nPlain.\r\n--b\r\nContent-Type: text/html\r\n\r\n<p>HTML.</p>\r\n--b--\r\n",
         u"Parts"_s, u"Plain."_s, u"<p>HTML.</p>"_s},
        // An indented first line is read as the field it names.
        {" Subject: Indented\r\nDate: Tue, 14 Nov 2023 22:13:20 +0000\r\n\r\nBody.\r\n", u"Indented"_s, u"Body.\n"_s, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.raw.toStdString());
        const Email email = ReadEmail(c.raw, ServerInternalDate());
        EXPECT_EQ(email.Subject, c.subject);
        EXPECT_EQ(email.PlainTextBody, c.plain);
        EXPECT_EQ(email.HTMLTextBody, c.html);
    }
}

TEST(MimeBodies, TextUnderAWrongBase64HeaderIsShownAsItStands)
{
    const Email email = ReadEmail("Content-Type: text/plain\r\nContent-Transfer-Encoding: base64\r\n\r\n"
                                  "Plain words here\r\nand here\r\n",
                                  ServerInternalDate());
    EXPECT_EQ(email.PlainTextBody, u"Plain words here\nand here\n"_s);
}
