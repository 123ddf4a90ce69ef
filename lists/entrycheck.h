// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// What the hour and minute boxes accept.
#pragma once

#include <QStringView>

// True when text is numeric and its value, rounded half to even, lies in 0 to max.
bool isTimeFieldValue(QStringView text, int max);

constexpr int kMaxHour = 23;
constexpr int kMaxMinute = 59;
