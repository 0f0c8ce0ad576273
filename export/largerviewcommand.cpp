#include "export/largerviewcommand.h"

#include "export/form4.h"
#include "results/resultslist.h"
#include "support/errortrap.h"
#include "support/messageseam.h"

#include <memory>

LargerViewCommand::LargerViewCommand(ResultsList &mainList, QWidget *owner) : m_mainList(mainList), m_owner(owner)
{
}

void LargerViewCommand::PushButton8_Click()
{
    ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("PushButton8_Click"));
    // Created here and gone when this returns: every opening starts from the current main list.
    std::unique_ptr<Form4> form;
    trap(100, [&] {
        form = std::make_unique<Form4>(m_mainList, m_owner);
        form->list().copyRows(m_mainList);
    });
    if (form) {
        trap(101, [&] { form->setWindowState(Qt::WindowMaximized); });
        trap(102, [&] { MessageSeam::current().execDialog(*form); });
    }
    trap(103, [&] { m_mainList.UpdateCounters(false); });
}
