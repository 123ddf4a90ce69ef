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

// The one place that decides when a ring is over. The ring ends when the current minute
// reaches ringStartMinute + durationMinutes. The current minute is counted on elapsed
// time, as the start minute plus the whole minutes passed since that minute began, not
// read from the wall clock: the minute of the day starts again from 0 at midnight (a ring
// started at 23:58 for 3 minutes would never end until STOP), goes back an hour on the
// night the clocks go back (that ring would go on for an hour more) and jumps with every
// change of the clock by hand. On a clock nobody changes it is the same minute.
// msecsSinceStartMinuteBegan is negative only on a broken clock and then counts as 0.
bool ringHasEnded(int ringStartMinute, int durationMinutes, qint64 msecsSinceStartMinuteBegan);
