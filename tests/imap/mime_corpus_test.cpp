// Real mail written by others, read by us and by Python's email package: every value that differs
// is a fault, or listed with its reason in tests/data/corpus/accepted-differences.tsv.
#include "devserver/runtool.h"
#include "tests/imap/mailcorpus.h"
#include "tests/imap/mimetestdata.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>

#include <gtest/gtest.h>

namespace {

struct Accepted {
    QRegularExpression message;
    QString field;
    bool seen = false;
};

QList<Accepted> acceptedDifferences()
{
    QFile file(QStringLiteral(QUORVANE_TEST_DATA_DIR "/corpus/accepted-differences.tsv"));
    EXPECT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
    QList<Accepted> accepted;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        const QStringList columns = line.split(u'\t');
        if (line.startsWith(u'#') || columns.size() < 3)
            continue;
        EXPECT_FALSE(columns[2].trimmed().isEmpty()) << "no reason given: " << line.toStdString();
        accepted.append({QRegularExpression::fromWildcard(columns[0], Qt::CaseSensitive), columns[1]});
    }
    return accepted;
}

// The message as an IMAP server hands it over: CRLF line ends.
QByteArray served(const QString &path)
{
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << path.toStdString();
    return file.readAll().replace("\r\n", "\n").replace("\n", "\r\n");
}

QString shown(const QJsonValue &value)
{
    return value.isDouble() ? QString::number(value.toDouble(), 'f', 0) : value.toString();
}

// One line, short enough to read in a failure message.
std::string brief(const QString &text)
{
    const QString line = QString(text).replace(u'\n', QStringLiteral("\\n"));
    return (line.size() > 160 ? line.first(160) + QStringLiteral("...") : line).toStdString();
}

} // namespace

TEST(MimeCorpus, EveryMessageReadsAsAnIndependentReaderReadsIt)
{
    QStringList names;
    QStringList paths;
    for (const CorpusFile &file : CorpusFiles()) {
        names << file.name;
        paths << file.path;
    }
    ASSERT_GE(paths.size(), 80) << "the corpus packages are missing: run scripts/setup-debian.sh";

    const QJsonObject judged =
        QJsonDocument::fromJson(RunTool(QStringLiteral("/usr/bin/python3"),
                                        QStringList{QStringLiteral(QUORVANE_READ_MAIL)} + paths))
            .object();
    QList<Accepted> accepted = acceptedDifferences();
    for (qsizetype i = 0; i < paths.size(); ++i) {
        const Email ours = ReadEmail(served(paths[i]), ServerInternalDate());
        const QJsonObject theirs = judged.value(paths[i]).toObject();
        const std::pair<const char *, QJsonValue> values[] = {
            {"fromName", ours.FromName},
            {"fromAddress", ours.FromAddress},
            {"subject", ours.Subject},
            {"date", double(ours.Date.toSecsSinceEpoch())},
            {"plain", ours.PlainTextBody},
            {"html", ours.HTMLTextBody},
        };
        for (const auto &[field, value] : values) {
            if (shown(value) == shown(theirs.value(QLatin1String(field))))
                continue;
            const auto known = std::find_if(accepted.begin(), accepted.end(), [&](const Accepted &a) {
                return a.field == QLatin1String(field) && a.message.match(names[i]).hasMatch();
            });
            if (known != accepted.end())
                known->seen = true;
            else
                ADD_FAILURE() << names[i].toStdString() << " " << field << "\n  ours:   " << brief(shown(value))
                              << "\n  theirs: " << brief(shown(theirs.value(QLatin1String(field))));
        }
    }
    for (const Accepted &a : accepted)
        EXPECT_TRUE(a.seen) << "listed but no longer different: " << a.message.pattern().toStdString() << " "
                            << a.field.toStdString();
}
