#include "results/retrieval.h"

#include "imap/connectionoverrides.h"
#include "mail/clschilkatimap.h"
#include "mail/errorlog.h"
#include "mail/sessionfactory.h"
#include "results/captions.h"
#include "results/form2.h"
#include "results/mailstore.h"
#include "results/resultslist.h"
#include "results/resultsview.h"
#include "results/sessionholder.h"
#include "support/doevents.h"
#include "support/errortrap.h"
#include "support/messageseam.h"
#include "support/pointer.h"
#include "support/textprogressbar.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

namespace {

// A session that Stop (or a disconnect) has let go of: the run only unwinds from then on.
bool stopped(const std::shared_ptr<clsChilkatIMAP> &session)
{
    return !session || session->AbortProcess;
}

// "Done.", and when some of the range could not be read, how many and where to look for why.
QString doneText(const clsChilkatIMAP::ExtractionTally &tally)
{
    if (tally.unread == 0)
        return QStringLiteral("Done.");
    return QStringLiteral("Done.\r\n\r\n%1 of %2 messages could not be read. The error log tells why: %3")
        .arg(tally.unread)
        .arg(tally.asked)
        .arg(ErrorLogPath());
}

// Counts the runs on the stack: Stop and a new run may nest inside a run's yields.
class RunningScope {
public:
    explicit RunningScope(int &count) : m_count(count) { ++m_count; }
    ~RunningScope() { --m_count; }

private:
    int &m_count;
};

} // namespace

Retrieval::Retrieval(MainWindowParts parts) : p(parts) {}

bool Retrieval::isRunning() const
{
    return m_running > 0;
}

void Retrieval::stopRunning()
{
    if (!isRunning() || p.PushButton3->text() != StopCaption)
        return;
    ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("PushButton3_Click"));
    stop(trap);
}

void Retrieval::PushButton3_Click()
{
    ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("PushButton3_Click"));
    if (refusedBeforeSignIn())
        return;
    if (p.PushButton3->text() == StopCaption) {
        stop(trap);
        return;
    }
    const QString folder = p.Combo2->currentText();
    if (refusedWithoutFolder(folder))
        return;
    RunningScope running(m_running);
    enterRunMode(trap, p.PushButton3);
    trap(110, [&] { clearList(); });
    trap(111, [&] { *p.bRuleMatched = false; });
    // A range dialog closed earlier leaves the flag set; a completed run must still say "Done.".
    bNoDoneMessage = false;

    clsChilkatIMAP::ExtractionTally tally;
    if (p.oChilkat->get() || signInNewSession(trap)) {
        // The run's own hold: Stop may empty oChilkat during any call below.
        const std::shared_ptr<clsChilkatIMAP> session = p.oChilkat->get();
        if (!stopped(session)) {
            trap(120, [&] {
                session->setCurrentLocation(1);
                session->setMaxRecord(session->GetTotalMessage(folder));
            });
        }
        if (stopped(session)) {
            bNoDoneMessage = true; // stopped before reading: nothing was done
        } else if (session->MaxRecord() > 0) {
            trap(130, [&] { p.mailStore->recreate(session->MaxRecord()); });
            trap(131, [&] { session->StartMailExtraction(folder); });
            tally = session->extractionTally();
            // Not signed in or no folder: the session has said why, unless the user stopped it.
            bNoDoneMessage = bNoDoneMessage || !tally.reading;
        } else {
            MsgBox(QStringLiteral("There are no emails in the Folder you selected."));
            bNoDoneMessage = true;
        }
        trap(140, [&] { p.list->UpdateCounters(false); });
    }
    endSequence(trap, p.PushButton3, p.PushButton2, tally);
}

void Retrieval::PushButton2_Click()
{
    ErrorTrap trap(QStringLiteral("Form1"), QStringLiteral("PushButton2_Click"));
    if (refusedBeforeSignIn())
        return;
    const QString folder = p.Combo2->currentText();
    if (refusedWithoutFolder(folder))
        return;
    RunningScope running(m_running);
    enterRunMode(trap, p.PushButton2);

    bool ranToEnd = false;
    clsChilkatIMAP::ExtractionTally tally;
    if (p.oChilkat->get() || signInNewSession(trap)) {
        const std::shared_ptr<clsChilkatIMAP> session = p.oChilkat->get();
        // Made anew for every showing; the window owns it while it lives.
        QPointer<Form2> dialog = new Form2(p.window);
        qint32 total = 0;
        if (!stopped(session)) {
            trap(120, [&] {
                dialog->setChilkatIMAP(session);
                dialog->setMaxMessage(session->GetTotalMessage(folder));
            });
        }
        if (!stopped(session))
            trap(121, [&] { total = session->GetTotalMessage(folder); });
        ranToEnd = true;
        if (stopped(session)) {
            bNoDoneMessage = true; // stopped before reading: nothing was done
        } else if (total > 0) {
            bRangeAccepted = false; // only the dialog's Continue may set it
            trap(130, [&] {
                bRangeAccepted = MessageSeam::current().execDialog(*dialog) == QDialog::Accepted;
                // However it closed: a run that reads clears this again just before reading.
                bNoDoneMessage = true;
            });
            if (!bRangeAccepted || !dialog) {
                ranToEnd = false;
            } else if (!stopped(session)) {
                trap(131, [&] { clearList(); });
                bNoDoneMessage = false;
                trap(132, [&] { p.mailStore->recreate(session->MaxRecord()); });
                trap(133, [&] { session->StartMailExtraction(folder); });
                tally = session->extractionTally();
                bNoDoneMessage = bNoDoneMessage || !tally.reading;
            }
        } else {
            MsgBox(QStringLiteral("There are 0 emails in the Folder you selected."));
            bNoDoneMessage = true;
        }
        delete dialog;
    }
    if (ranToEnd) {
        trap(140, [&] { p.list->UpdateCounters(false); });
        trap(141, [&] { *p.bRuleMatched = false; });
    }
    endSequence(trap, p.PushButton2, p.PushButton3, tally);
}

void Retrieval::oChilkat_ScrapProgress(qint32 &percent)
{
    p.ProgressBar1->setMaximum(100);
    p.ProgressBar1->setValue(percent);
    // A released session has nothing to tell: the text stays as it is.
    if (const std::shared_ptr<clsChilkatIMAP> &session = p.oChilkat->get())
        p.ProgressBar1->setText(QStringLiteral("Reading mail ") + QString::number(session->CurrentLocation())
                                + QStringLiteral(" of ") + QString::number(session->MaxRecord()));
    DoEvents();
}

bool Retrieval::refusedBeforeSignIn() const
{
    if (p.PushButton1->text() != SignedOutCaption)
        return false;
    MsgBox(QStringLiteral("Please connect first (Step 1) before using this feature."));
    return true;
}

bool Retrieval::refusedWithoutFolder(const QString &folder) const
{
    if (!folder.isEmpty())
        return false;
    MsgBox(QStringLiteral("Please select a folder"));
    return true;
}

QString Retrieval::restingCaption(const QPushButton *button) const
{
    return button == p.PushButton3 ? GetAllCaption : GetSomeCaption;
}

void Retrieval::enterRunMode(ErrorTrap &trap, QPushButton *own)
{
    QPushButton *other = own == p.PushButton3 ? p.PushButton2 : p.PushButton3;
    trap(100, [&] { other->setText(StopCaption); });
    // The window's layout gives the Stop button both places once the other one is hidden.
    trap(102, [&] { p.PushButton2->setVisible(false); });
    trap(103, [&] { SetPointer(p.window, PointerShape::Busy); });
    trap(104, [&] { SavedCaption = own->text(); });
    trap(105, [&] { own->setText(StopCaption); });
}

void Retrieval::clearList()
{
    p.list->clear();
    p.list->view()->setSortingEnabled(false);
    p.list->UpdateCounters(true);
}

bool Retrieval::signInNewSession(ErrorTrap &trap)
{
    const ConnectionOverrides server = ConnectionOverrides::fromEnvironment();
    const auto session = NewSession(p.component, server.host, server.port, p.Text1->text(), p.Text2->text());
    p.oChilkat->set(session);
    bNoDoneMessage = false;
    bool signedIn = false;
    // An error inside Connect is reported and then taken as a failed sign-in.
    trap(115, [&] { signedIn = session->Connect(); });
    if (!signedIn)
        bNoDoneMessage = true;
    return signedIn;
}

void Retrieval::stop(ErrorTrap &trap)
{
    trap(300, [&] { p.PushButton3->setText(SavedCaption); });
    trap(301, [&] { p.PushButton2->setText(GetSomeCaption); });
    trap(303, [&] { p.PushButton2->setVisible(true); });
    trap(304, [&] {
        if (p.oChilkat->get())
            (*p.oChilkat)->AbortProcess = true;
    });
    trap(305, [&] { p.oChilkat->reset(); });
}

void Retrieval::endSequence(ErrorTrap &trap, QPushButton *own, QPushButton *other,
                            const clsChilkatIMAP::ExtractionTally &tally)
{
    trap(400, [&] { p.oChilkat->reset(); });
    trap(401, [&] { SetPointer(p.window, PointerShape::Default); });
    trap(402, [&] {
        p.ProgressBar1->setValue(0);
        // A disconnect during the run has had the last word on the status line.
        if (p.PushButton1->text() != SignedOutCaption)
            p.ProgressBar1->setText(ProgressBarCaption);
    });
    // Resting captions, not SavedCaption: a run started from the left button while it still
    // showed "2b. Get Some Emails" after a Stop saved that caption, and a run nested in another
    // one has overwritten the outer run's saved caption by the time the outer one ends.
    trap(403, [&] { own->setText(restingCaption(own)); });
    trap(404, [&] { other->setText(restingCaption(other)); });
    trap(406, [&] { p.PushButton2->setVisible(true); });
    if (!bNoDoneMessage)
        MsgBox(doneText(tally));
}
