#include "export/xlsxtarget.h"

#include "export/xlsxworkbook.h"
#include "support/privatefiles.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <algorithm>

namespace {

constexpr qsizetype MaxCellUnits = 32767;
constexpr QChar Replacement(0xFFFD);

class XlsxApplication : public SpreadsheetApplication {
public:
    std::unique_ptr<SpreadsheetWorkbook> addWorkbook() override { return std::make_unique<XlsxWorkbook>(); }
};

bool hasDefaultXlsxApplication()
{
    QProcess query;
    query.start(QStringLiteral("xdg-mime"),
                {QStringLiteral("query"), QStringLiteral("default"),
                 QStringLiteral("application/vnd.openxmlformats-officedocument.spreadsheetml.sheet")});
    if (!query.waitForStarted(2000))
        return false;
    if (!query.waitForFinished(3000)) {
        query.kill();
        query.waitForFinished(1000);
        return false;
    }
    return query.exitStatus() == QProcess::NormalExit && query.exitCode() == 0
        && !query.readAllStandardOutput().trimmed().isEmpty();
}

bool hasSpreadsheetProgram()
{
    for (const char *program : {"libreoffice", "localc", "soffice", "gnumeric"})
        if (!QStandardPaths::findExecutable(QString::fromLatin1(program)).isEmpty())
            return true;
    return false;
}

bool isHexDigit(QChar c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// A spreadsheet reads _xHHHH_ as the character HHHH; such a literal must keep its underscore.
bool startsEscapeLiteral(const QString &text, qsizetype i)
{
    if (i + 6 >= text.size() || text[i] != u'_' || text[i + 1] != u'x' || text[i + 6] != u'_')
        return false;
    for (qsizetype k = i + 2; k < i + 6; ++k)
        if (!isHexDigit(text[k]))
            return false;
    return true;
}

// The library writes control characters as the format's _xHHHH_ escapes, which a spreadsheet
// reads back as the characters; but a NUL would end its C string, and XML has no place for
// U+FFFE, U+FFFF or half a surrogate pair.
bool unwritable(char16_t unit)
{
    return unit == 0 || unit == 0xFFFE || unit == 0xFFFF;
}

// A symlink, even one that points nowhere, takes its name too.
bool isTaken(const QString &path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

} // namespace

bool XlsxTarget::isAvailable()
{
    return hasDefaultXlsxApplication() || hasSpreadsheetProgram();
}

std::unique_ptr<SpreadsheetApplication> XlsxTarget::createApplication()
{
    return std::make_unique<XlsxApplication>();
}

// Never a folder others share, such as the temporary one: a missing documents folder is made
// for the user alone, and the home folder takes its place when it cannot be.
QString WorkbookFolder()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    return !documents.isEmpty() && MakePrivateFolder(documents) ? documents : QDir::homePath();
}

QString NewWorkbookPath()
{
    const QString folder = WorkbookFolder();
    const QString stem = QStringLiteral("Quorvane export ")
        + QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH-mm-ss"));
    QString path = folder + u'/' + stem + QStringLiteral(".xlsx");
    for (int n = 2; isTaken(path); ++n)
        path = folder + u'/' + stem + QStringLiteral(" (%1).xlsx").arg(n);
    return path;
}

QString CellTextForXlsx(const QString &text, bool *truncated)
{
    // Most texts need nothing: they are handed on as they are, without a copy.
    const bool plain = text.size() <= MaxCellUnits && std::none_of(text.begin(), text.end(), [](QChar c) {
        return c.isSurrogate() || unwritable(c.unicode()) || c == u'_';
    });
    if (plain) {
        if (truncated)
            *truncated = false;
        return text;
    }
    QString result;
    result.reserve(std::min(text.size(), MaxCellUnits));
    bool cut = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        QString piece;
        qsizetype consumed = 1;
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            piece = text.mid(i, 2);
            consumed = 2;
        } else if (c.isSurrogate() || unwritable(c.unicode())) {
            piece = Replacement;
        } else if (startsEscapeLiteral(text, i)) {
            piece = QStringLiteral("_x005F_");
        } else {
            piece = c;
        }
        if (result.size() + piece.size() > MaxCellUnits) {
            cut = true;
            break;
        }
        result += piece;
        i += consumed - 1;
    }
    if (truncated)
        *truncated = cut;
    return result;
}
