// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The real clock. Elapsed time is the time since boot with suspend counted (Linux's
// CLOCK_BOOTTIME), not QElapsedTimer's monotonic clock, which stops while the machine
// sleeps: a ring whose end passed during a suspend is over when the machine wakes.
#include "clock.h"

#include <QDateTime>

#include <chrono>
#include <ctime>

qint64 SystemClock::currentMSecsSinceEpoch() const
{
    return QDateTime::currentMSecsSinceEpoch();
}

qint64 SystemClock::elapsedMSecs() const
{
#ifdef CLOCK_BOOTTIME
    // Cannot fail for this clock with a valid pointer on any kernel since 2.6.39.
    timespec now {};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return qint64(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
#else
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
#endif
}
