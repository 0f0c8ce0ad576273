#pragma once

#include <QString>

// Runs console commands hidden and captures what they write.
namespace CmdOutput {

inline constexpr const char *FailedToCreateProcess =
    "Failed to create process, check the path of the command line.";

// Runs CommandLine without a shell and returns everything the chosen streams wrote, read in
// chunks of at most 1024 bytes with one yield before each read. Neither stream chosen:
// throws AppError "Invalid procedure call or argument". A program that cannot be started
// gives FailedToCreateProcess.
QString GetCommandOutput(const QString &CommandLine, bool CaptureStdOut, bool CaptureStdErr, bool OemConvert);

// Pings an always-reachable host once; warns when no reply came back.
void CheckOnline();
// The host CheckOnline pings; QUORVANE_PING_HOST overrides it (tests).
QString onlineCheckHost();

} // namespace CmdOutput
