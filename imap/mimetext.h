#pragma once

#include <QByteArray>
#include <QString>

// Text of a message part: the declared charset when iconv knows it and the bytes fit it;
// otherwise UTF-8, then windows-1252 (which reads every byte).
QString DecodeMimeText(const QByteArray &bytes, const char *charset);

// Plain LF line ends, as the list filter and the worksheet want; NUL characters dropped.
QString WithPlainLineEnds(QString text);
