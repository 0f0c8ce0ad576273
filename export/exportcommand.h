#pragma once

#include <QString>

class MailStore;
class QWidget;
class ResultsList;
class SpreadsheetTarget;

// "3. Send To Excel": the detection, then a new workbook with the header row, every checked row
// at sheet row r + 1 and its plain-text body in pieces from the last list column on. Its steps
// report as Form1.PushButton4_Click.
class ExportCommand {
public:
    // window: whose pointer shows busy while it runs.
    ExportCommand(QWidget *window, ResultsList &list, const MailStore &store, SpreadsheetTarget &target);

    void PushButton4_Click();

private:
    QWidget *m_window;
    ResultsList &m_list;
    const MailStore &m_store;
    SpreadsheetTarget &m_target;
};

// SaveResultsAsExcelFileIsExcelInstalled: asks the target; shows its own message when not found.
bool SaveResultsAsExcelFileIsExcelInstalled(SpreadsheetTarget &target);

// The body split into cell texts: pieces of 1022 while more than 1023 remain, never splitting a
// surrogate pair, each piece that begins with "=" marked with "'".
QStringList BodyPieces(const QString &body);
