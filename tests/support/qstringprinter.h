#pragma once

#include <QString>
#include <ostream>

// Failed comparisons show the text rather than the bytes of every QChar.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}
