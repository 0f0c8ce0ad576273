#pragma once

#include <QString>
#include <QStringList>

// A world of one's own for a test: the test runs once more in a child process of this test
// program, started by a wrapper that sets that world up, with HOME and XDG_RUNTIME_DIR in fresh
// private folders and no desktop session. The parent expects the child to pass.
//
//   TEST(Suite, Case) { if (!RunInChild(PrivateTmp())) return; ...the test's work... }
//
// Returns true in the child, and false in the parent once the child has been judged.
bool RunInChild(const QStringList &wrapper);

// Called first by every test program: the desktop's session bus, and with it the user's
// keyring, is out of reach. A child keeps the session its wrapper made.
void LeaveTheDesktopSession();

// A D-Bus session of its own, holding gnome-keyring's Secret Service, unlocked.
QStringList PrivateKeyringSession();
// A D-Bus session of its own where nothing provides a Secret Service.
QStringList SessionWithoutKeyring();
// A mount namespace of its own with an empty tmpfs on /tmp that everyone may write to.
QStringList PrivateTmp();
