#pragma once

#include <QString>

// Makes a fresh folder "quorvane-KIND-PID-XXXXXX" (mode 0755) in the temporary folder, and first
// removes the ones of that kind left behind by processes that died without cleaning up.
// Throws std::runtime_error.
QString MakeScratchDir(const QString &kind);
