#pragma once

#include "export/fileopener.h"
#include "results/mailstore.h"
#include "results/resultslist.h"
#include "results/resultspane.h"
#include "results/resultsview.h"
#include "tests/common/envguard.h"

#include <QLabel>
#include <QMap>
#include <QPair>
#include <QStringList>
#include <QTemporaryDir>
#include <QWidget>
#include <memory>

// A main window's list and store made of real widgets (the results pane): six columns, rows
// added with their message record.
struct ListFixture {
    ListFixture();

    // Appends a row: the six cells (From .. RecDate), its plain-text body and its check mark.
    int addRow(const QStringList &cells, const QString &body = {}, bool checked = false);
    // A row of plain cells named after the row, e.g. "from 3", "name 3", ...
    int addPlainRow(bool checked, const QString &body = {});

    QWidget window;
    bool bRuleMatched = false;
    ResultsPane *pane;
    ResultsView *view;
    QLabel *total;
    QLabel *selected;
    ResultsList &list;
    MailStore store;

private:
    QList<MailRecord> m_records;
};

// Records what would have been opened on the desktop instead of opening it.
class RecordingOpener : public FileOpener {
public:
    RecordingOpener() { FileOpener::install(this); }
    ~RecordingOpener() override { FileOpener::install(nullptr); }
    bool open(const QString &path, QString &failure) override
    {
        opened << path;
        if (!answer)
            failure = QStringLiteral("the test's opener refused");
        return answer;
    }
    QStringList opened;
    bool answer = true;
};

// A home of our own: HOME, the XDG folders and TMPDIR in a temporary folder, with a
// Documents folder, so that nothing lands in the real home. PATH holds only our bin folder,
// where fake programs can be put.
class TestHome {
public:
    TestHome();
    QString documents() const;
    QString temp() const;
    // Points the documents folder somewhere else (user-dirs.dirs, as a desktop does).
    void setDocumentsFolder(const QString &folder);
    // An executable script in the bin folder that prints output.
    void addProgram(const QString &name, const QString &output = {});
    // An executable shell script in the bin folder.
    void addScript(const QString &name, const QString &body);
    QStringList documentFiles() const; // names in the documents folder, hidden ones included

private:
    QTemporaryDir m_dir;
    EnvGuard m_home{"HOME"};
    EnvGuard m_config{"XDG_CONFIG_HOME"};
    EnvGuard m_tmp{"TMPDIR"};
    EnvGuard m_path{"PATH"};
};

// One cell as read back: what openpyxl returns, its type, the text a spreadsheet shows and its look.
struct ReadCell {
    QString value;
    QString type;
    QString shown;
    bool quoted = false; // quotePrefix="1" on its format
    bool top = false;
    bool wrapped = false;
    bool bold = false;
};
using CellKey = QPair<int, int>; // (row, column), both from 1

struct ReadWorkbook {
    bool ok = false;
    QString error;
    QMap<CellKey, ReadCell> cells;
    QMap<int, double> widths;
    QMap<int, double> heights; // rows of a custom height, in points
    QString frozen;            // the top-left cell of the scrolling part, e.g. "A2"
    QString filter;            // the autofilter's range, e.g. "A1:F3"
    int formulas = -1;         // <f> elements in the sheet's XML
    QMap<CellKey, QString> shownTexts() const;
};

// Reads a workbook with openpyxl (/usr/bin/python3 and read_xlsx.py).
ReadWorkbook ReadXlsx(const QString &path);

// The header row every export writes.
QMap<CellKey, QString> HeaderCells();
