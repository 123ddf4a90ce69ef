// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// A hand-written test, because QString::toDouble also takes exponents, "inf" and "nan".
#include "numbertext.h"

#include <QLocale>
#include <QString>
#include <cmath>

namespace {

// Blanks are spaces and tabs.
bool isBlank(QChar c)
{
    return c == u' ' || c == u'\t';
}

QStringView trimmedBlanks(QStringView text)
{
    while (!text.isEmpty() && isBlank(text.front()))
        text = text.mid(1);
    while (!text.isEmpty() && isBlank(text.back()))
        text.chop(1);
    return text;
}

} // namespace

bool isNumericText(QStringView text)
{
    text = trimmedBlanks(text);
    if (!text.isEmpty() && (text.front() == u'+' || text.front() == u'-'))
        text = text.mid(1);
    int digits = 0;
    int points = 0;
    for (const QChar c : text) {
        if (c >= u'0' && c <= u'9')
            ++digits;
        else if (c == u'.')
            ++points;
        else
            return false;
    }
    return digits > 0 && points <= 1;
}

std::optional<double> numericValue(QStringView text)
{
    if (!isNumericText(text))
        return std::nullopt;
    // The grammar is a subset of what the C locale reads; QApplication sets the process
    // locale from the environment, so strtod could expect a decimal comma.
    QStringView digits = trimmedBlanks(text);
    const bool negative = digits.front() == u'-';
    if (digits.front() == u'+' || negative)
        digits = digits.mid(1);
    QString plain = digits.toString();
    if (plain.startsWith(u'.'))
        plain.prepend(u'0');
    if (plain.endsWith(u'.'))
        plain.chop(1);
    const double magnitude = QLocale::c().toDouble(plain);
    return negative ? -magnitude : magnitude;
}

qint64 roundHalfEven(double value, qint64 low, qint64 high)
{
    if (std::isnan(value))
        return low;
    const double rounded = std::nearbyint(value); // the default rounding mode: half to even
    if (rounded <= double(low))
        return low;
    if (rounded >= double(high))
        return high;
    return qint64(rounded);
}
