// The main window's load sequence and the handlers that keep the settings.
#include "app/form1.h"

#include "app/credentialstore.h"
#include "app/settingsstore.h"
#include "mail/errortrap.h"
#include "results/resultslist.h"
#include "results/resultspane.h"
#include "results/resultsview.h"
#include "support/apperror.h"
#include "support/cmdoutput.h"
#include "support/pointer.h"
#include "support/startup.h"
#include "support/vbnumber.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTreeWidget>

namespace {
int line(int step)
{
    return 100 + 2 * (step - 1);
}

Qt::CheckState checkStateOf(qint16 value)
{
    switch (value) {
    case 0:
        return Qt::Unchecked;
    case 1:
        return Qt::Checked;
    case 2:
        return Qt::PartiallyChecked;
    default:
        throw AppError(QStringLiteral("Invalid property value"));
    }
}
} // namespace

void Form1::Form_Load()
{
    ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("Form_Load"));
    trap(line(1), [] { CmdOutput::CheckOnline(); });
    trap(line(2), [this] { ApplySkin(this); });
    trap(line(3), [this] {
        setWindowTitle(QLatin1String(ProductTitle));
        setWindowIcon(QApplication::windowIcon());
        SetApplicationTitle();
    });
    trap(line(4), [this] { LoadProgramHandPointer(this); });
    trap(line(5), [this] { list().createColumns({1300, 1300, 1600, 1600, 1600, 0}); });
    trap(line(6), [this] {
        list().clear();
        m_pane->ListView1->update();
    });
    trap(line(7), [this] { createComponent(); });

    bool remember = true; // a value that cannot be read counts as "remember"
    trap(line(8), [&] { remember = TextToInt16(GetSetting(QStringLiteral("StayConnected"), QStringLiteral("0"))) != 0; });
    trap(line(8), [&] {
        if (remember) {
            // Fields first: checking the box stores what they hold, which is then no change.
            Text1->setText(GetSetting(QStringLiteral("User"), QString()));
            Text2->setText(m_credentials->restore());
            Check1->setChecked(true);
        } else {
            Check1->setChecked(false);
            m_credentials->dropLeftover();
        }
    });
    trap(line(9), [this] { list().UpdateCounters(false); });
    trap(line(10), [this] { bRuleMatched = false; });
    trap(line(11), [this] { m_pane->paintCountersWhite(); });
    trap(line(12), [this] { Check2->setEnabled(Check1->isChecked()); });
    trap(line(13), [this] {
        const qint16 value = TextToInt16(GetSetting(QStringLiteral("AutoConnect"), QStringLiteral("0")));
        const Qt::CheckState state = checkStateOf(value);
        Check2->setTristate(state == Qt::PartiallyChecked);
        Check2->setCheckState(state);
    });
    trap(line(14), [this] {
        if (Check2->checkState() == Qt::Checked)
            PushButton1_Click();
    });
}

void Form1::Check1_Click()
{
    SaveSetting(QStringLiteral("StayConnected"), Check1->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    if (Check1->isChecked()) {
        Check2->setEnabled(true);
        // The password is kept only for a user who asked to be remembered, so it is stored
        // from the moment they ask.
        SaveSetting(QStringLiteral("User"), Text1->text());
        m_credentials->store(Text2->text());
        return;
    }
    Check2->setChecked(false);
    Check2->setEnabled(false);
    Text1->clear();
    Text2->clear();
    // Unchecking erases the stored sign-in even when the fields were already empty.
    m_credentials->erase();
}

void Form1::Check2_Click()
{
    SaveSetting(QStringLiteral("AutoConnect"),
                Check2->checkState() == Qt::Checked ? QStringLiteral("1") : QStringLiteral("0"));
}

void Form1::Text1_Change()
{
    SaveSetting(QStringLiteral("User"), Text1->text());
}

void Form1::Text2_Change()
{
    if (Check1->isChecked())
        m_credentials->store(Text2->text());
}

void Form1::Combo2_Click(int index)
{
    if (index >= 0)
        SaveSetting(QStringLiteral("Combo2"), QString::number(index));
}
