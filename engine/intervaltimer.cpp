// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// QTimer with the semantics of a form timer.
#include "intervaltimer.h"

IntervalTimer::IntervalTimer(QObject *parent)
    : QObject(parent)
    , m_timer(this)
{
    // Coarse timers may fire up to 5 % early or late, which for a 60 s tick could let a
    // minute pass unchecked or check one twice.
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &IntervalTimer::timeout);
}

void IntervalTimer::setInterval(int msec)
{
    // QTimer treats 0 as "whenever idle" and a negative interval as active but silent,
    // while here both mean stopped.
    m_interval = qMax(msec, 0);
    if (m_interval == 0)
        m_timer.stop();
    else
        m_timer.start(m_interval);
}
