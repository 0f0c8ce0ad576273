#include "imap/imapcommand.h"
#include "imap/imapvalue.h"
#include "imap/internaldate.h"
#include "imap/responsereader.h"
#include "tests/common/printers.h"

#include <QTimeZone>
#include <gtest/gtest.h>

namespace {

QList<ImapResponse> readAll(ResponseReader &reader)
{
    QList<ImapResponse> out;
    while (auto r = reader.next())
        out.append(*r);
    return out;
}

ImapResponse single(const QByteArray &bytes)
{
    ResponseReader reader;
    reader.feed(bytes);
    const auto all = readAll(reader);
    EXPECT_EQ(all.size(), 1);
    return all.value(0);
}

} // namespace

TEST(ImapResponseReader, SplitsLinesAndLiteralsFedByteByByte)
{
    const QByteArray stream = "* 1 FETCH (BODY[] {12}\r\nHello\r\nWorld INTERNALDATE \"x\")\r\n"
                              "A1 OK done\r\n* 3 EXISTS\n";
    ResponseReader reader;
    QList<ImapResponse> got;
    for (char c : stream) {
        reader.feed(QByteArray(1, c));
        if (reader.literalSize() > 0) {
            EXPECT_EQ(reader.literalSize(), 12);
            EXPECT_LT(reader.literalReceived(), 12);
            EXPECT_TRUE(reader.partialFirstLine().startsWith("* 1 FETCH"));
        }
        got += readAll(reader);
    }
    ASSERT_FALSE(reader.failed());
    ASSERT_EQ(got.size(), 3);
    EXPECT_EQ(got[0].lines, (QList<QByteArray>{"* 1 FETCH (BODY[] {12}", " INTERNALDATE \"x\")"}));
    EXPECT_EQ(got[0].literals, QList<QByteArray>{"Hello\r\nWorld"});
    EXPECT_EQ(got[0].raw(), "* 1 FETCH (BODY[] {12}\r\nHello\r\nWorld INTERNALDATE \"x\")");
    EXPECT_EQ(got[1].tag(), "A1");
    EXPECT_EQ(got[1].word(1), "OK");
    EXPECT_EQ(got[2].word(2), "EXISTS"); // a bare LF ends a line too
}

TEST(ImapResponseReader, ReadsTheNumberAndKeywordOfEachResponse)
{
    const struct {
        QByteArray line;
        qint64 number;
        QByteArray keyword;
    } cases[] = {
        {"* 12 FETCH (FLAGS ())", 12, "FETCH"},
        {"* 4294967295 exists", 4294967295, "EXISTS"},
        {"* 4294967296 EXISTS", -1, "4294967296"}, // beyond 32 bits: no number
        {"* -3 EXPUNGE", -1, "-3"},
        {"* OK [UIDVALIDITY 3] ready", -1, "OK"},
        {"* bye shutting down", -1, "BYE"},
        {"A3 no [AUTHENTICATIONFAILED] failed", -1, "NO"},
        {"+ go ahead", -1, ""},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.line.toStdString());
        const ImapResponse r = single(c.line + "\r\n");
        EXPECT_EQ(r.number, c.number);
        EXPECT_EQ(r.keyword, c.keyword);
    }
}

TEST(ImapResponseReader, RefusesAbsurdSizes)
{
    ResponseReader huge;
    huge.feed("* 1 FETCH (BODY[] {99999999999}\r\n");
    EXPECT_TRUE(huge.failed());
    EXPECT_TRUE(huge.errorText().contains(u"literal"));

    ResponseReader justOver;
    justOver.feed("* 1 FETCH (BODY[] {" + QByteArray::number(ResponseReader::MaxLiteralBytes + 1) + "}\r\n");
    EXPECT_TRUE(justOver.failed());

    ResponseReader endless;
    const QByteArray chunk(64 * 1024, 'x');
    for (int i = 0; i < 20 && !endless.failed(); ++i)
        endless.feed(chunk);
    EXPECT_TRUE(endless.failed());
    EXPECT_TRUE(endless.errorText().contains(u"line"));

    ResponseReader fine; // a long but bounded line is accepted
    fine.feed(QByteArray(500 * 1024, 'y') + "\r\n");
    EXPECT_FALSE(fine.failed());
    EXPECT_TRUE(fine.next().has_value());
}

TEST(ImapValues, ParsesListResponses)
{
    const auto quoted = ParseResponseValues(single(R"(* LIST (\HasNoChildren \Noselect) "/" "My \"Q\" \\ Folder")" "\r\n"));
    ASSERT_TRUE(quoted);
    ASSERT_EQ(quoted->size(), 5);
    EXPECT_TRUE(quoted->at(1).isAtom("list"));
    ASSERT_EQ(quoted->at(2).kind, ImapValue::Kind::List);
    EXPECT_TRUE(quoted->at(2).items.at(1).isAtom("\\Noselect"));
    EXPECT_EQ(quoted->at(3).text, "/");
    EXPECT_EQ(quoted->at(4).text, R"(My "Q" \ Folder)");

    const auto literal = ParseResponseValues(single("* LIST () NIL {9}\r\nOdd\r\nName\r\n"));
    ASSERT_TRUE(literal);
    EXPECT_EQ(literal->at(3).kind, ImapValue::Kind::Nil);
    EXPECT_EQ(literal->at(4).kind, ImapValue::Kind::String);
    EXPECT_EQ(literal->at(4).text, "Odd\r\nName");

    const auto atom = ParseResponseValues(single("* LIST (\\HasChildren) \".\" Entw&APw-rfe\r\n"));
    ASSERT_TRUE(atom);
    EXPECT_EQ(atom->at(4).kind, ImapValue::Kind::Atom);
    EXPECT_EQ(atom->at(4).text, "Entw&APw-rfe");
}

TEST(ImapValues, ParsesFetchWithSectionsAndLiterals)
{
    const auto v = ParseResponseValues(single(
        "* 2 FETCH (UID 7 BODY[HEADER.FIELDS (FROM)] {3}\r\nabc BODY[] {0}\r\n INTERNALDATE \" 5-Mar-2021 10:00:00 +0100\")\r\n"));
    ASSERT_TRUE(v);
    ASSERT_EQ(v->size(), 4);
    const auto &items = v->at(3).items;
    ASSERT_EQ(items.size(), 8);
    EXPECT_TRUE(items[2].isAtom("BODY[HEADER.FIELDS (FROM)]"));
    EXPECT_EQ(items[3].text, "abc");
    EXPECT_TRUE(items[4].isAtom("BODY[]"));
    EXPECT_EQ(items[5].kind, ImapValue::Kind::String);
    EXPECT_TRUE(items[5].text.isEmpty());
}

TEST(ImapValues, RefusesMalformedText)
{
    for (const QByteArray line : {"* 1 FETCH (BODY[] \"unterminated)", "* 1 FETCH (FLAGS (\\Seen)",
                                  "* 1 FETCH (BODY[ x)", "* LIST ) x", "* 1 FETCH ({3} x)"})
        EXPECT_FALSE(ParseResponseValues(single(line + "\r\n")).has_value()) << line.toStdString();
}

TEST(ImapCommandText, QuotesEscapesAndUsesLiteralsForEightBit)
{
    const ImapCommand plain = ImapCommand("LOGIN").string("ann").string(R"(pa"ss\word)", true);
    EXPECT_EQ(plain.chunks("A1"), QList<QByteArray>{"A1 LOGIN \"ann\" \"pa\\\"ss\\\\word\"\r\n"});
    EXPECT_EQ(plain.shown("A1"), "A1 LOGIN \"ann\" <hidden>");

    const ImapCommand eightBit = ImapCommand("LOGIN").string("ann").string(QStringLiteral("pässwörd").toUtf8(), true);
    EXPECT_EQ(eightBit.chunks("A2"), (QList<QByteArray>{"A2 LOGIN \"ann\" {10}\r\n", "p\xc3\xa4ssw\xc3\xb6rd\r\n"}));
    EXPECT_FALSE(eightBit.shown("A2").contains("ss"));
}

TEST(ImapInternalDate, ReadsTheServerFormat)
{
    const QDateTime a = ParseInternalDate("17-Jul-1996 02:44:25 -0700");
    ASSERT_TRUE(a.isValid());
    EXPECT_EQ(a.toUTC(), QDateTime(QDate(1996, 7, 17), QTime(9, 44, 25), QTimeZone::utc()));
    EXPECT_EQ(a.timeSpec(), Qt::LocalTime);
    EXPECT_EQ(ParseInternalDate(" 5-mar-2021 23:30:00 +0130").toUTC(),
              QDateTime(QDate(2021, 3, 5), QTime(22, 0), QTimeZone::utc()));
    for (const QByteArray bad : {"", "32-Jan-2020 00:00:00 +0000", "01-Foo-2020 00:00:00 +0000", "01-Jan-2020 25:00:00 +0000",
                                 "01-Jan-2020 00:00:00"})
        EXPECT_FALSE(ParseInternalDate(bad).isValid()) << bad.toStdString();
}
