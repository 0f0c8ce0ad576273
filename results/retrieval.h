#pragma once

#include "mail/clschilkatimap.h"
#include "results/mainwindowparts.h"

#include <QString>

class ErrorTrap;

// Get All, Get Some (with the range dialog), Stop and the progress handler of the main window.
class Retrieval {
public:
    explicit Retrieval(MainWindowParts parts);

    void PushButton3_Click(); // Get All, or Stop while a run shows "Stop"
    void PushButton2_Click(); // Get Some
    void oChilkat_ScrapProgress(qint32 &percent);
    // Asks a running retrieval to stop, as the Stop button does (used before a disconnect).
    void stopRunning();
    bool isRunning() const;

private:
    bool signInNewSession(ErrorTrap &trap); // false: sign-in failed, go to the end sequence
    void endSequence(ErrorTrap &trap, QPushButton *own, QPushButton *other,
                     const clsChilkatIMAP::ExtractionTally &tally);
    // The messages a command gives instead of starting; true when one was shown.
    bool refusedBeforeSignIn() const;
    bool refusedWithoutFolder(const QString &folder) const;
    QString restingCaption(const QPushButton *button) const;
    void enterRunMode(ErrorTrap &trap, QPushButton *own);
    void stop(ErrorTrap &trap);
    void clearList(); // empty, unsorted, counters at 0

    MainWindowParts p;
    QString SavedCaption;
    bool bNoDoneMessage = false;
    bool bRangeAccepted = false; // whether the range dialog closed with Continue
    int m_running = 0;
};
