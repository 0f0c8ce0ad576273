#pragma once

#include <QtGlobal>

// This process's memory as Linux reports it, in kilobytes (-1 when it cannot be read).
qint64 ResidentKb();     // resident set now
qint64 PeakResidentKb(); // largest resident set since the start or the last reset
void ResetPeakResident(); // getrusage's maximum cannot be reset; this one can
