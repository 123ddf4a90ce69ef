// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The ring's interval, its duration and its end, from the texts of the seconds and minutes
// boxes and the minute the ring started.
#pragma once

#include <QString>

// Seconds x 1000, rounded half to even, in milliseconds. Below 1 ms (also a negative or
// non-numeric text) gives 0, meaning no ring; above what a timer takes, 2^31 - 1.
int ringIntervalMs(const QString &seconds);

// Minutes, rounded half to even and clamped to the 16-bit range; non-numeric gives 0.
int ringDurationMinutes(const QString &minutes);

// The one place that decides when a ring is over. The ring ends at its start minute plus
// its duration, as ringStartMinute + hunkan says; both are counted on the running minute
// (startDay * 1440 + minute of the day) rather than on the minute of the day alone,
// because the minute of the day starts again from 0 at midnight: a ring started at 23:58
// for 3 minutes would otherwise never end until STOP. nowSerialMinute is
// MinuteReader::serialMinute().
bool ringHasEnded(qint64 startDay, int ringStartMinute, int durationMinutes,
                  qint64 nowSerialMinute);
