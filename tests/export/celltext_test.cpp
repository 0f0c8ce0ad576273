#include "export/exportcommand.h"
#include "export/xlsxtarget.h"
#include "tests/common/printers.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace {

QList<qsizetype> lengths(const QStringList &pieces)
{
    QList<qsizetype> result;
    for (const QString &piece : pieces)
        result << piece.size();
    return result;
}

const QString Emoji = QString::fromUtf8("\xF0\x9F\x98\x80"); // U+1F600, two UTF-16 units

} // namespace

TEST(BodyPieces, SplitsAt1022OnlyWhileMoreThan1023Remain)
{
    EXPECT_EQ(BodyPieces(QString()), QStringList{QString()});
    EXPECT_EQ(lengths(BodyPieces(QString(1023, u'b'))), (QList<qsizetype>{1023}));
    EXPECT_EQ(lengths(BodyPieces(QString(1024, u'b'))), (QList<qsizetype>{1022, 2}));
    EXPECT_EQ(lengths(BodyPieces(QString(2045, u'b'))), (QList<qsizetype>{1022, 1023}));
    EXPECT_EQ(lengths(BodyPieces(QString(2046, u'b'))), (QList<qsizetype>{1022, 1022, 2}));
}

TEST(BodyPieces, MarksEveryPieceThatBeginsWithEquals)
{
    EXPECT_EQ(BodyPieces(QStringLiteral("=x")), QStringList{QStringLiteral("'=x")});
    const QStringList pieces = BodyPieces(QString(1022, u'a') + QStringLiteral("=y"));
    EXPECT_EQ(pieces, (QStringList{QString(1022, u'a'), QStringLiteral("'=y")}));
    // Only a leading "=" counts; an apostrophe already there is the body's own text.
    EXPECT_EQ(BodyPieces(QStringLiteral("a=b")), QStringList{QStringLiteral("a=b")});
    EXPECT_EQ(BodyPieces(QStringLiteral("'=b")), QStringList{QStringLiteral("'=b")});
}

TEST(BodyPieces, NeverSplitsASurrogatePair)
{
    // The pair would straddle units 1022 and 1023: the cut moves one unit earlier.
    const QString body = QString(1021, u'a') + Emoji + QString(10, u'b');
    const QStringList pieces = BodyPieces(body);
    ASSERT_EQ(pieces.size(), 2);
    EXPECT_EQ(pieces[0], QString(1021, u'a'));
    EXPECT_EQ(pieces[1], Emoji + QString(10, u'b'));

    QString many;
    for (int i = 0; i < 3000; ++i)
        many += i % 3 ? Emoji : QStringLiteral("c");
    const QStringList manyPieces = BodyPieces(many);
    EXPECT_EQ(manyPieces.join(QString()), many);
    for (const QString &piece : manyPieces) {
        EXPECT_FALSE(piece.front().isLowSurrogate());
        EXPECT_FALSE(piece.back().isHighSurrogate());
        EXPECT_LE(piece.size(), 1023);
    }
}

TEST(CellTextForXlsx, KeepsControlCharactersAndReplacesWhatXmlCannotCarry)
{
    bool truncated = true;
    const QString controls = QStringLiteral("a") + QChar(0) + QChar(1) + QChar(0x1F) + QStringLiteral("\t\n\r")
        + QChar(0xFFFE) + QChar(0xFFFF) + QChar(0xD800) + QStringLiteral("z") + QChar(0xDC00);
    const QString fffd(QChar(0xFFFD));
    EXPECT_EQ(CellTextForXlsx(controls, &truncated),
              QStringLiteral("a") + fffd + QChar(1) + QChar(0x1F) + QStringLiteral("\t\n\r") + fffd + fffd + fffd
                  + QStringLiteral("z") + fffd);
    EXPECT_FALSE(truncated);
    EXPECT_EQ(CellTextForXlsx(QStringLiteral("smile ") + Emoji), QStringLiteral("smile ") + Emoji);
}

TEST(CellTextForXlsx, EscapesLiteralCharacterEscapes)
{
    EXPECT_EQ(CellTextForXlsx(QStringLiteral("_x0041_")), QStringLiteral("_x005F_x0041_"));
    EXPECT_EQ(CellTextForXlsx(QStringLiteral("a_x00fF_b_x0041_")), QStringLiteral("a_x005F_x00fF_b_x005F_x0041_"));
    // Not an escape: too short, not hex, upper-case X, no closing underscore.
    for (const char *plain : {"_x004_", "_x00G1_", "_X0041_", "_x0041", "snake_case_x"})
        EXPECT_EQ(CellTextForXlsx(QLatin1String(plain)), QLatin1String(plain));
}

TEST(CellTextForXlsx, CutsAtTheCellLimitWithoutSplittingAPair)
{
    bool truncated = false;
    EXPECT_EQ(CellTextForXlsx(QString(32767, u'a'), &truncated).size(), 32767);
    EXPECT_FALSE(truncated);
    EXPECT_EQ(CellTextForXlsx(QString(40000, u'a'), &truncated), QString(32767, u'a'));
    EXPECT_TRUE(truncated);
    EXPECT_EQ(CellTextForXlsx(QString(32766, u'a') + Emoji, &truncated), QString(32766, u'a'));
    EXPECT_TRUE(truncated);
    EXPECT_EQ(CellTextForXlsx(QString(32765, u'a') + Emoji, &truncated), QString(32765, u'a') + Emoji);
    EXPECT_FALSE(truncated);
    // The stored escape counts too, so the stored text stays within what the library accepts.
    const QString escaped = CellTextForXlsx(QString(32760, u'a') + QStringLiteral("_x0041_"), &truncated);
    EXPECT_TRUE(truncated);
    EXPECT_LE(escaped.size(), 32767);
    EXPECT_TRUE(escaped.startsWith(QString(32760, u'a')));
}
