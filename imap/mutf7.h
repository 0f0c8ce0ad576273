#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// Modified UTF-7 for mailbox names (RFC 3501 5.1.3).
QByteArray EncodeMailboxName(const QString &name);
// nullopt when the text is not valid modified UTF-7.
std::optional<QString> DecodeMailboxName(const QByteArray &encoded);
