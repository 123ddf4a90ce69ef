// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The minute of the day of an alarm time text "hh:mm".
#pragma once

#include <QStringView>

// d1 * 600 + d2 * 60 + d4 * 10 + d5 over the characters at positions 1, 2, 4 and 5
// (position 3, the ":", is not read): 0 to 1439 for a valid time, at most 6039 for any
// four digits. -1 when the text is shorter or one of those characters is not a digit.
int minuteOfDay(QStringView entry);

// A list's count is a 16-bit signed number, so a list holds at most this many entries.
constexpr int kMaxEntries = 32767;
