// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// A clock the test sets. Wall time is elapsed time plus an offset, so that a test can
// change the wall clock by hand (changeWallClock) while elapsed time goes on undisturbed.
#pragma once

#include "clock.h"

#include <QDateTime>

class FakeClock final : public Clock
{
public:
    qint64 currentMSecsSinceEpoch() const override { return m_elapsed + m_wallOffset; }
    qint64 elapsedMSecs() const override { return m_elapsed; }
    // Moves both clocks, as if the time between had passed (or, backwards, been undone).
    void set(const QDateTime &local) { m_elapsed = local.toMSecsSinceEpoch() - m_wallOffset; }
    void set(int hour, int minute, int second = 0);
    void advance(qint64 msec) { m_elapsed += msec; }
    // Moves the wall clock alone, as a user setting the time does.
    void changeWallClock(qint64 msec) { m_wallOffset += msec; }
    QDateTime local() const { return QDateTime::fromMSecsSinceEpoch(currentMSecsSinceEpoch()); }

private:
    qint64 m_elapsed = 0;
    qint64 m_wallOffset = 0;
};
