// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// A clock the test sets.
#pragma once

#include "clock.h"

#include <QDateTime>

class FakeClock final : public Clock
{
public:
    qint64 currentMSecsSinceEpoch() const override { return m_now; }
    void set(const QDateTime &local) { m_now = local.toMSecsSinceEpoch(); }
    void set(int hour, int minute, int second = 0);
    void advance(qint64 msec) { m_now += msec; }
    QDateTime local() const { return QDateTime::fromMSecsSinceEpoch(m_now); }

private:
    qint64 m_now = 0;
};
