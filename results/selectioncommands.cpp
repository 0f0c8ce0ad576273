#include "results/selectioncommands.h"

#include "results/resultslist.h"
#include "support/errortrap.h"
#include "support/messageseam.h"

SelectionCommands::SelectionCommands(QString windowName, ResultsList &list, bool &bRuleMatched,
                                     std::function<bool()> isBusy)
    : m_window(std::move(windowName)), m_list(list), m_bRuleMatched(bRuleMatched), m_isBusy(std::move(isBusy))
{
}

void SelectionCommands::PushButton5_Click()
{
    setAll(QStringLiteral("PushButton5_Click"), true);
}

void SelectionCommands::PushButton6_Click()
{
    setAll(QStringLiteral("PushButton6_Click"), false);
}

void SelectionCommands::PushButton9_Click()
{
    checkByRule(QStringLiteral("PushButton9_Click"), true);
}

void SelectionCommands::PushButton10_Click()
{
    checkByRule(QStringLiteral("PushButton10_Click"), false);
}

void SelectionCommands::PushButton7_Click()
{
    ErrorTrap trap(m_window, QStringLiteral("PushButton7_Click"));
    trap(100, [&] {
        if (!m_isBusy())
            m_list.clear();
    });
    trap(101, [&] { m_list.UpdateCounters(true); });
}

void SelectionCommands::ListView1_ItemCheck()
{
    m_list.UpdateCounters(false);
}

void SelectionCommands::setAll(const QString &procedure, bool checked)
{
    ErrorTrap trap(m_window, procedure);
    int rows = 0;
    trap(100, [&] { rows = m_list.rowCount(); });
    trap(101, [&] {
        for (int row = 1; row <= rows; ++row)
            m_list.setChecked(row, checked);
    });
    trap(102, [&] { m_list.UpdateCounters(false); });
    trap(103, [&] { m_bRuleMatched = false; });
}

void SelectionCommands::checkByRule(const QString &procedure, bool containing)
{
    ErrorTrap trap(m_window, procedure);
    // Counted in full width: lists of any length work.
    int rows = 0;
    trap(100, [&] { rows = m_list.rowCount(); });
    QString wanted;
    trap(101, [&] { wanted = InputBox(QStringLiteral("Enter X:")).toLower(); });
    trap(102, [&] {
        // An empty text occurs in every non-empty cell and in no empty one.
        const auto occursIn = [&](int row, int column) { return m_list.holds(row, column, wanted); };
        // The prompt was a yield: rows removed meanwhile are not visited.
        for (int row = 1; row <= rows && row <= m_list.rowCount(); ++row) {
            if (!m_bRuleMatched)
                m_list.setChecked(row, false);
            const bool found = occursIn(row, 0) || occursIn(row, 3) || occursIn(row, 4);
            if (found == containing) {
                m_list.setChecked(row, true);
                m_bRuleMatched = true;
            }
        }
    });
    trap(103, [&] { m_list.UpdateCounters(false); });
}
