#pragma once

#include <QElapsedTimer>

// Lets the event loop process pending events once: the program's one kind of yield.
// Code after a yield must re-check what it relies on; any click handler may have run.
void DoEvents();

// The yield of a loop that yields at every step: the first step's, then at most one a frame.
// A yield costs far more than a step over one row, and one a frame keeps the window as alive.
class PacedDoEvents {
public:
    static constexpr int FrameMs = 16;
    void operator()();

private:
    QElapsedTimer m_sinceYield;
};
