#pragma once

#include <QByteArray>

// The message with its own header block made fit for GMime, read as mail programs read it:
// fields unfolded, NULs dropped, adjacent base64 encoded-words of one charset joined, and a
// blank line where the header ends without one (lines that are not header fields are body
// text; a message without any header field is all body).
QByteArray WithRepairedHeaderBlock(const QByteArray &raw);
