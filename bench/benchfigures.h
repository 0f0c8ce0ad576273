#pragma once

#include <QElapsedTimer>
#include <QList>
#include <QTimer>
#include <QtGlobal>
#include <algorithm>

// Small measuring helpers shared by the bench programs.
double Median(QList<double> values); // 0 for none

// The longest gap between two firings of a timer that fires whenever events are processed.
class StallMeter {
public:
    StallMeter();
    // Up to now: a stall that has not ended yet counts too.
    double longestMs() const { return double(std::max(m_longest, m_clock.nsecsElapsed() - m_last)) / 1e6; }

private:
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_longest = 0;
};
