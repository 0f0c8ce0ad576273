// The demo mailbox: made the same way every time, as varied as promised, and every message reads
// back (through the program's own MIME reader) as what the generator meant to write.
#include "demo/demomailbox.h"
#include "imap/mimereader.h"
#include "tests/common/printers.h"

#include <QSet>
#include <gtest/gtest.h>

namespace {

QString lf(QString text)
{
    return text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

} // namespace

TEST(DemoMailbox, IsTheSameOnEveryRunAndVaried)
{
    const QList<DemoFolder> folders = MakeDemoMailbox();
    const QList<DemoFolder> again = MakeDemoMailbox();
    ASSERT_EQ(folders.size(), again.size());
    int total = 0, htmlOnly = 0, plainOnly = 0, both = 0, latin1 = 0, encoded = 0, bare = 0, longBodies = 0;
    bool hierarchy = false;
    QSet<int> years;
    for (qsizetype f = 0; f < folders.size(); ++f) {
        const DemoFolder &folder = folders[f];
        EXPECT_FALSE(folder.name.contains(QLatin1Char('.'))) << folder.name.toStdString();
        hierarchy = hierarchy || folder.name.contains(QLatin1Char('/'));
        ASSERT_EQ(folder.messages.size(), again[f].messages.size());
        for (qsizetype m = 0; m < folder.messages.size(); ++m) {
            const DemoMessage &message = folder.messages[m];
            EXPECT_EQ(message.raw, again[f].messages[m].raw) << folder.name.toStdString() << " #" << m + 1;
            ++total;
            htmlOnly += message.plainBody.isEmpty();
            plainOnly += message.htmlBody.isEmpty();
            both += !message.plainBody.isEmpty() && !message.htmlBody.isEmpty();
            latin1 += message.raw.contains("text/plain; charset=ISO-8859-1");
            encoded += message.raw.contains("Subject: =?");
            bare += message.fromName.isEmpty();
            longBodies += message.plainBody.size() > 3000;
            years.insert(message.date.toUTC().date().year());
        }
    }
    EXPECT_TRUE(hierarchy);
    EXPECT_GE(total, 200);
    EXPECT_LE(total, 500);
    for (int count : {htmlOnly, plainOnly, both, latin1, encoded, bare, longBodies})
        EXPECT_GE(count, 10) << "html-only, plain-only, both, Latin-1, encoded subject, bare address, long";
    EXPECT_GE(years.size(), 5);
}

TEST(DemoMailbox, EveryMessageReadsBackAsGenerated)
{
    for (const DemoFolder &folder : MakeDemoMailbox()) {
        for (qsizetype m = 0; m < folder.messages.size(); ++m) {
            const DemoMessage &message = folder.messages[m];
            const Email read = ReadEmail(message.raw, QDateTime());
            const std::string where = folder.name.toStdString() + " #" + std::to_string(m + 1);
            EXPECT_EQ(read.FromName, message.fromName) << where;
            EXPECT_EQ(read.FromAddress, message.fromAddress) << where;
            EXPECT_EQ(read.Subject, message.subject) << where;
            EXPECT_EQ(read.Date.toUTC().toString(Qt::ISODate).toStdString(),
                      message.date.toUTC().toString(Qt::ISODate).toStdString())
                << where;
            EXPECT_EQ(lf(read.PlainTextBody), message.plainBody) << where;
            EXPECT_EQ(lf(read.HTMLTextBody), message.htmlBody) << where;
        }
    }
}
