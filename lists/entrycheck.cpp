// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The range is tested on the value, never on the characters.
#include "entrycheck.h"

#include "numbertext.h"

bool isTimeFieldValue(QStringView text, int max)
{
    const std::optional<double> value = numericValue(text);
    if (!value)
        return false;
    const qint64 rounded = roundHalfEven(*value, -32768, 32767);
    return rounded >= 0 && rounded <= max;
}
