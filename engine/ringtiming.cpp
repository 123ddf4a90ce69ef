// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// Settings can put any text into the boxes, so every value is clamped, never trusted.
#include "ringtiming.h"

#include "numbertext.h"

#include <limits>

int ringIntervalMs(const QString &seconds)
{
    const std::optional<double> value = numericValue(seconds);
    if (!value)
        return 0;
    return int(roundHalfEven(*value * 1000.0, 0, std::numeric_limits<qint32>::max()));
}

int ringDurationMinutes(const QString &minutes)
{
    const std::optional<double> value = numericValue(minutes);
    if (!value)
        return 0;
    return int(roundHalfEven(*value, -32768, 32767));
}

bool ringHasEnded(int ringStartMinute, int durationMinutes, qint64 msecsSinceStartMinuteBegan)
{
    const qint64 end = qint64(ringStartMinute) + durationMinutes;
    const qint64 now = ringStartMinute + qMax<qint64>(0, msecsSinceStartMinuteBegan) / 60000;
    return end <= now;
}
