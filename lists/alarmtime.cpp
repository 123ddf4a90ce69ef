// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The minute of the day of an alarm time text; shared by the sort and the engine.
#include "alarmtime.h"

int minuteOfDay(QStringView entry)
{
    if (entry.size() < 5)
        return -1;
    int digits[4];
    const int positions[4] = {0, 1, 3, 4};
    for (int k = 0; k < 4; ++k) {
        const QChar c = entry[positions[k]];
        if (c < u'0' || c > u'9')
            return -1;
        digits[k] = c.unicode() - u'0';
    }
    return digits[0] * 600 + digits[1] * 60 + digits[2] * 10 + digits[3];
}
