#pragma once

#include "results/mainwindowparts.h"

#include <QString>

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

    QString SavedCaption;
    bool bNoDoneMessage = false;
    bool bRangeAccepted = false;

private:
    bool signInNewSession(); // false: sign-in failed, go to the end sequence
    void endSequence(QPushButton *own, QPushButton *other, const QString &otherRestingText);
    void enterRunMode(QPushButton *own);
    void Stop();

    MainWindowParts p;
    int m_running = 0;
};
