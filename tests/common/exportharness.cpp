#include "tests/common/exportharness.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

ListFixture::ListFixture()
    : pane(new ResultsPane(QStringLiteral("Form1"), &window, bRuleMatched)), view(pane->ListView1), total(pane->Label1),
      selected(pane->Label2), list(pane->list())
{
    list.createColumns({1300, 1300, 1600, 1600, 1600, 0});
}

int ListFixture::addRow(const QStringList &cells, const QString &body, bool checked)
{
    const int row = list.appendRow(cells.value(0));
    for (int column = 1; column < 6; ++column)
        list.setText(row, column, cells.value(column));
    list.setChecked(row, checked);
    MailRecord record{cells.value(0), cells.value(1), cells.value(2), cells.value(3), cells.value(4), body, {}};
    m_records << record;
    store.recreate(qint32(m_records.size()));
    for (int index = 1; index <= m_records.size(); ++index)
        store.setRecord(index, m_records[index - 1]);
    return row;
}

int ListFixture::addPlainRow(bool checked, const QString &body)
{
    const QString n = QString::number(list.rowCount() + 1);
    return addRow({QStringLiteral("from ") + n, QStringLiteral("name ") + n, QStringLiteral("address ") + n,
                   QStringLiteral("subject ") + n, QStringLiteral("date ") + n, QStringLiteral("4444") + n},
                  body.isNull() ? QStringLiteral("body ") + n : body, checked);
}

TestHome::TestHome()
{
    QDir root(m_dir.path());
    for (const char *folder : {"Documents", "config", "tmp", "bin"})
        root.mkpath(QLatin1String(folder));
    qputenv("HOME", QFile::encodeName(m_dir.path()));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_dir.filePath(QStringLiteral("config"))));
    qputenv("TMPDIR", QFile::encodeName(temp()));
    qputenv("PATH", QFile::encodeName(m_dir.filePath(QStringLiteral("bin"))));
}

QString TestHome::documents() const
{
    return m_dir.filePath(QStringLiteral("Documents"));
}

QString TestHome::temp() const
{
    return m_dir.filePath(QStringLiteral("tmp"));
}

void TestHome::setDocumentsFolder(const QString &folder)
{
    QFile file(m_dir.filePath(QStringLiteral("config/user-dirs.dirs")));
    file.open(QIODevice::WriteOnly);
    file.write("XDG_DOCUMENTS_DIR=\"" + QFile::encodeName(folder) + "\"\n");
}

void TestHome::addProgram(const QString &name, const QString &output)
{
    addScript(name, output.isEmpty() ? QString() : QStringLiteral("echo '") + output + QStringLiteral("'"));
}

void TestHome::addScript(const QString &name, const QString &body)
{
    QFile file(m_dir.filePath(QStringLiteral("bin/") + name));
    file.open(QIODevice::WriteOnly);
    file.write("#!/bin/sh\n" + body.toUtf8() + "\n");
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

QStringList TestHome::documentFiles() const
{
    return QDir(documents()).entryList(QDir::Files | QDir::Hidden);
}

QMap<CellKey, QString> ReadWorkbook::shownTexts() const
{
    QMap<CellKey, QString> texts;
    for (auto cell = cells.begin(); cell != cells.end(); ++cell)
        texts[cell.key()] = cell->shown;
    return texts;
}

ReadWorkbook ReadXlsx(const QString &path)
{
    ReadWorkbook book;
    QProcess python;
    python.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral(QUORVANE_READ_XLSX), path});
    if (!python.waitForFinished(60000) || python.exitCode() != 0) {
        book.error = QString::fromUtf8(python.readAllStandardError());
        return book;
    }
    const QJsonObject root = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
    for (const QJsonValue &entry : root.value(QStringLiteral("cells")).toArray()) {
        const QJsonObject cell = entry.toObject();
        const CellKey key{cell.value(QStringLiteral("row")).toInt(), cell.value(QStringLiteral("column")).toInt()};
        book.cells[key] = {cell.value(QStringLiteral("value")).toVariant().toString(),
                           cell.value(QStringLiteral("type")).toString(),
                           cell.value(QStringLiteral("shown")).toString(),
                           cell.value(QStringLiteral("quoted")).toBool(),
                           cell.value(QStringLiteral("top")).toBool(),
                           cell.value(QStringLiteral("wrapped")).toBool(),
                           cell.value(QStringLiteral("bold")).toBool()};
    }
    const QJsonObject heights = root.value(QStringLiteral("heights")).toObject();
    for (auto height = heights.begin(); height != heights.end(); ++height)
        book.heights[height.key().toInt()] = height.value().toDouble();
    book.frozen = root.value(QStringLiteral("frozen")).toString();
    book.filter = root.value(QStringLiteral("filter")).toString();
    book.formulas = root.value(QStringLiteral("formulas")).toInt(-1);
    const QJsonObject widths = root.value(QStringLiteral("widths")).toObject();
    for (auto width = widths.begin(); width != widths.end(); ++width)
        book.widths[width.key().toInt()] = width.value().toDouble();
    book.ok = true;
    return book;
}

QMap<CellKey, QString> HeaderCells()
{
    return {{{1, 1}, QStringLiteral("From")},    {{1, 2}, QStringLiteral("From Name")},
            {{1, 3}, QStringLiteral("From Address")}, {{1, 4}, QStringLiteral("Subject")},
            {{1, 5}, QStringLiteral("Received Date")}, {{1, 6}, QStringLiteral("RecDate")}};
}
