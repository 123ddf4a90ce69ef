// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The number test: blanks, an optional sign, digits with at most one decimal point.
#pragma once

#include <QStringView>
#include <optional>

// True when text, after leading and trailing blanks, is an optional sign followed by
// decimal digits with at most one decimal point and at least one digit.
bool isNumericText(QStringView text);

// The value of a numeric text; nullopt when the text is not numeric.
std::optional<double> numericValue(QStringView text);

// Rounds to the nearest whole number, a half going to the even neighbour, then clamps to
// [low, high]. NaN gives low.
qint64 roundHalfEven(double value, qint64 low, qint64 high);
