#pragma once

#include <QString>
#include <QtGlobal>

// Number reading as the program's settings and dialogs expect it.

// Nearest whole number, exact halves to the even one.
double RoundHalfEven(double value);

// Reads a whole text as a number and converts it to a 16-bit integer (fraction rounded half
// to even). Throws AppError "Type mismatch" when the text is not a number and "Overflow"
// when the value lies outside -32768..32767.
qint16 TextToInt16(const QString &text);

// The number at the start of the text: leading blanks skipped, the longest number prefix
// (sign, digits, one decimal point and fraction); 0 when the text starts with no number.
double LeadingNumber(const QString &text);
