#pragma once

#include <QString>

class QFile;

// Files that only this user can read, under names nobody else can redirect. The platform's
// own rules live here: POSIX modes and no-follow opens on Linux and macOS; on Windows the
// per-user folders and Qt's file calls already keep other users out.

// Creates the folder and any missing parents, each readable by the user alone whatever the
// umask; folders that exist are left as they are. True when the folder exists afterwards.
bool MakePrivateFolder(const QString &path);

// The user's own folder for the application's state, such as a log: $XDG_STATE_HOME/<application>
// or ~/.local/state/<application>; on Windows the user's temporary folder, as TEMP there.
QString PerUserStateFolder(const QString &application);

// True when nobody but this user can add, remove or rename names in the folder.
bool IsPrivateFolder(const QString &path);

// Makes the file readable by the user alone, creating it empty when missing; writers that
// replace it (a temporary file renamed over it) take its mode from it.
bool MakePrivateFile(const QString &path);

// Opens the file for appending, creating it readable by the user alone. A symlink at its name
// is not followed, and a file that is not this user's own regular file is not written to.
bool OpenPrivateAppend(QFile &file, const QString &path);

// Gives a file a new name in the same file system, failing when anything, a file or a
// symlink, already has that name: nothing is replaced and nothing is followed.
bool RenameWithoutReplacing(const QString &from, const QString &to);
