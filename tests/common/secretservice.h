#pragma once

#include <QMap>
#include <QStringList>

// The Secret Service on the session bus, read over D-Bus as any other program would: the
// secrets of the unlocked items whose attributes include all the given ones. Empty when no
// Secret Service answers.
QStringList SecretsMatching(const QMap<QString, QString> &attributes);
