#pragma once

#include <QByteArray>
#include <QDateTime>

// The server's INTERNALDATE ("17-Jul-1996 02:44:25 -0700", day maybe blank-padded) as local
// time; invalid when unreadable.
QDateTime ParseInternalDate(const QByteArray &text);
