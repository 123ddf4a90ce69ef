// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
#include "fakeclock.h"

void FakeClock::set(int hour, int minute, int second)
{
    set(QDateTime(QDate(2026, 12, 8), QTime(hour, minute, second)));
}
