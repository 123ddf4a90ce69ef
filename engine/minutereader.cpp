// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// Local offsets change only on whole minutes, so a minute in local time is also a
// 60-second span in UTC and can be cached as one.
#include "minutereader.h"

#include "clock.h"

#include <QDateTime>

MinuteReader::MinuteReader(const Clock &clock)
    : m_clock(clock)
{
    refresh();
}

void MinuteReader::refresh()
{
    const qint64 now = m_clock.currentMSecsSinceEpoch();
    m_now = now;
    if (now >= m_start && now < m_end)
        return;
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(now, Qt::LocalTime);
    const QTime time = local.time();
    const int minuteOfDay = time.hour() * 60 + time.minute();
    m_serial = local.date().toJulianDay() * 1440 + minuteOfDay;
    m_text = QStringLiteral("%1:%2")
                 .arg(time.hour(), 2, 10, QLatin1Char('0'))
                 .arg(time.minute(), 2, 10, QLatin1Char('0'));
    m_start = now - (time.second() * 1000 + time.msec());
    m_end = m_start + 60000;
}
