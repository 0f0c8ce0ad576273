#include "export/exportcommand.h"

#include "export/spreadsheettarget.h"
#include "results/mailstore.h"
#include "results/resultslist.h"
#include "results/resultsview.h"
#include "support/apperror.h"
#include "support/doevents.h"
#include "support/errortrap.h"
#include "support/messageseam.h"
#include "support/pointer.h"

#include <QAbstractItemModel>
#include <QStringList>

namespace {

constexpr qsizetype PieceLength = 1022;
constexpr qsizetype LongestLastPiece = 1023;
const QString ListChangedMessage = QStringLiteral(
    "The list was emptied or filled again while it was being sent to Excel, so the export was stopped and no "
    "workbook was made. Press \"3. Send To Excel\" again to send the list as it is now.");

QString markedAsText(const QString &piece)
{
    return piece.startsWith(u'=') ? QLatin1Char('\'') + piece : piece;
}

// One export run: the workbook it fills and the list it reads; its steps are the command's.
class ExportRun {
public:
    ExportRun(ErrorTrap &trap, ResultsList &list, const MailStore &store, const SpreadsheetTarget &target,
              SpreadsheetWorkbook &workbook)
        : m_trap(trap), m_list(list), m_store(store), m_target(target), m_workbook(workbook),
          m_columns(int(ResultsList::columnHeaders().size()))
    {
        // Rows only ever go all at once (Clear List, or a retrieval that starts afresh); rows
        // added at the end are past the count the export took.
        const QAbstractItemModel *rows = list.view()->model();
        const auto changed = [this] { m_listChanged = true; };
        QObject::connect(rows, &QAbstractItemModel::modelAboutToBeReset, &m_watch, changed);
        QObject::connect(rows, &QAbstractItemModel::rowsAboutToBeRemoved, &m_watch, changed);
        QObject::connect(rows, &QAbstractItemModel::layoutAboutToBeChanged, &m_watch, changed);
    }

    // Whether the list was emptied or refilled in one of the yields: its rows are no longer
    // the ones this export started with, and mixing the two would make rows nobody had.
    bool listChanged() const { return m_listChanged; }

    void writeHeader()
    {
        const QStringList headers = ResultsList::columnHeaders();
        for (int c = 1; c <= m_columns; ++c) {
            DoEvents();
            m_trap(105, [&] { m_workbook.setCell(1, c, headers[c - 1]); });
        }
    }

    void writeRows()
    {
        const int rows = m_list.rowCount();
        for (int r = 1; r <= rows; ++r) {
            DoEvents();
            if (m_listChanged)
                return;
            bool checked = false;
            m_trap(106, [&] { checked = m_list.isChecked(r); });
            if (checked)
                writeRow(r, r + 1);
        }
    }

private:
    void writeRow(int r, int sheetRow)
    {
        for (int c = 1; c < m_columns; ++c) {
            DoEvents();
            if (m_listChanged)
                return;
            m_trap(107, [&] {
                const QString text = c == 1 ? m_list.text(r, 0) : m_list.text(r, c - 1).remove(u'=');
                m_workbook.setCell(sheetRow, c, text);
            });
        }
        QStringList pieces;
        m_trap(108, [&] { pieces = BodyPieces(m_store.plainTextBody(r)); });
        for (int k = 0; k < pieces.size(); ++k) {
            const int column = m_columns + k;
            if (column > m_target.maxColumn()) {
                m_trap(109, [&] {
                    throw AppError(QStringLiteral("The body of list row %1 needs more columns than a sheet has; "
                                                  "it was cut at column %2.")
                                       .arg(r)
                                       .arg(m_target.maxColumn()));
                });
                return;
            }
            m_trap(110, [&] { m_workbook.setCell(sheetRow, column, pieces[k]); });
        }
    }

    ErrorTrap &m_trap;
    ResultsList &m_list;
    const MailStore &m_store;
    const SpreadsheetTarget &m_target;
    SpreadsheetWorkbook &m_workbook;
    const int m_columns;
    QObject m_watch; // its connections to the list end with the run
    bool m_listChanged = false;
};

} // namespace

bool SaveResultsAsExcelFileIsExcelInstalled(SpreadsheetTarget &target)
{
    bool available = false;
    try {
        available = target.isAvailable();
    } catch (...) {
        available = false;
    }
    if (!available)
        MsgBox(QStringLiteral("Excel is not installed on this computer. You need to have it installed to use this "
                              "software without error."));
    return available;
}

QStringList BodyPieces(const QString &body)
{
    QStringList pieces;
    qsizetype start = 0;
    while (body.size() - start > LongestLastPiece) {
        qsizetype length = PieceLength;
        if (body[start + length - 1].isHighSurrogate() && body[start + length].isLowSurrogate())
            --length; // a surrogate pair stays in one cell
        pieces << markedAsText(body.mid(start, length));
        start += length;
    }
    pieces << markedAsText(body.mid(start));
    return pieces;
}

ExportCommand::ExportCommand(QWidget *window, ResultsList &list, const MailStore &store, SpreadsheetTarget &target)
    : m_window(window), m_list(list), m_store(store), m_target(target)
{
}

void ExportCommand::PushButton4_Click()
{
    ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("PushButton4_Click"));
    bool available = false;
    trap(100, [&] { available = SaveResultsAsExcelFileIsExcelInstalled(m_target); });
    if (!available) {
        trap(101, [&] {
            MsgBox(QStringLiteral(
                "Excel is not installed on this computer. You need to have it installed to use this feature."));
        });
        return;
    }
    trap(102, [&] { SetPointer(m_window, PointerShape::Busy); });
    std::unique_ptr<SpreadsheetApplication> application;
    std::unique_ptr<SpreadsheetWorkbook> workbook;
    trap(103, [&] { application = m_target.createApplication(); });
    if (application)
        trap(104, [&] { workbook = application->addWorkbook(); });
    // Without a workbook there is nothing to fill: one report, not one per cell.
    bool delivered = false;
    bool listChanged = false;
    if (workbook) {
        ExportRun run(trap, m_list, m_store, m_target, *workbook);
        run.writeHeader();
        run.writeRows();
        listChanged = run.listChanged();
        if (!listChanged) {
            trap(111, [&] { workbook->autoFitColumns(); });
            delivered = trap(112, [&] { workbook->makeVisible(); });
        }
    }
    trap(113, [&] { SetPointer(m_window, PointerShape::Default); });
    // A workbook the user never got is no success. One begun on another list is dropped unseen.
    if (listChanged)
        trap(116, [&] { MsgBox(ListChangedMessage); });
    else if (delivered)
        trap(114, [&] { MsgBox(QStringLiteral("Done.")); });
    trap(115, [&] {
        workbook.reset();
        application.reset();
    });
}
