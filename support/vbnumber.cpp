#include "support/vbnumber.h"

#include "support/apperror.h"

#include <QRegularExpression>
#include <cmath>
#include <optional>

namespace {

const QString TypeMismatch = QStringLiteral("Type mismatch");

// "&H" followed by hex digits: up to four digits are a 16-bit pattern (&HFFFF is -1), up to
// eight a 32-bit one, as the VB literal rules have it.
std::optional<double> hexValue(const QString &text)
{
    static const QRegularExpression hex(QStringLiteral("^&[Hh]([0-9A-Fa-f]{1,8})$"));
    const QRegularExpressionMatch match = hex.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const QString digits = match.captured(1);
    const quint32 bits = digits.toUInt(nullptr, 16);
    if (digits.size() <= 4)
        return double(qint16(quint16(bits)));
    return double(qint32(bits));
}

std::optional<double> decimalValue(const QString &text)
{
    static const QRegularExpression decimal(
        QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([EeDd][+-]?\\d+)?$"));
    if (!decimal.match(text).hasMatch())
        return std::nullopt;
    QString normalized = text;
    normalized.replace(u'd', u'e').replace(u'D', u'e');
    bool ok = false;
    const double value = normalized.toDouble(&ok);
    // toDouble refuses values beyond double's range; the text was still a number.
    if (!ok)
        return normalized.startsWith(u'-') ? -HUGE_VAL : HUGE_VAL;
    return value;
}

} // namespace

double RoundHalfEven(double value)
{
    const double nearest = std::round(value);
    if (std::fabs(value - std::trunc(value)) == 0.5)
        return 2.0 * std::round(value / 2.0);
    return nearest;
}

qint16 TextToInt16(const QString &text)
{
    const QString trimmed = text.trimmed();
    std::optional<double> value = hexValue(trimmed);
    if (!value)
        value = decimalValue(trimmed);
    if (!value)
        throw AppError(TypeMismatch);
    const double rounded = RoundHalfEven(*value);
    if (!(rounded >= -32768.0 && rounded <= 32767.0))
        throw AppError(QStringLiteral("Overflow"));
    return qint16(rounded);
}

double LeadingNumber(const QString &text)
{
    // Blanks, tabs and line feeds do not count anywhere in the text, as with VB's Val.
    QString compact;
    for (const QChar c : text)
        if (c != u' ' && c != u'\t' && c != u'\n' && c != u'\r')
            compact += c;
    static const QRegularExpression prefix(
        QStringLiteral("^[+-]?(\\d+\\.?\\d*|\\.\\d+)([EeDd][+-]?\\d+)?"));
    const QRegularExpressionMatch match = prefix.match(compact);
    if (!match.hasMatch())
        return 0.0;
    const std::optional<double> value = decimalValue(match.captured(0));
    return value ? *value : 0.0;
}
