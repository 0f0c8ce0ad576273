#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

// The encodings a message needs on its way into a mailbox (RFC 2045, 2047, 5322).
namespace MimeWriter {

enum class WordEncoding { B, Q };

// A header value: ASCII text as it is, anything else as encoded words in the charset
// ("UTF-8" or "ISO-8859-1"), folded so that no word is longer than 75 characters.
QByteArray headerText(const QString &text, const QByteArray &charset, WordEncoding encoding);
// A From value: display name (quoted or encoded as needed) and address, or the bare address.
QByteArray mailbox(const QString &name, const QString &address, const QByteArray &charset, WordEncoding encoding);
// "Mon, 1 Mar 2021 10:01:00 +0100", in the date-time's own offset.
QByteArray date(const QDateTime &when);

QByteArray quotedPrintable(const QByteArray &bytes); // lines kept, soft breaks before column 77
QByteArray base64Lines(const QByteArray &bytes);     // 76 characters a line

} // namespace MimeWriter
