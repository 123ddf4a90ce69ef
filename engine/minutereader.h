// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The current local time as the engine reads it: "hh:mm", and the minute counted from a
// fixed day, so that minutes compare across midnight.
#pragma once

#include <QString>

class Clock;

class MinuteReader
{
public:
    // Reads the clock once.
    explicit MinuteReader(const Clock &clock);

    // Reads the clock again. The text is formatted afresh only when the minute has
    // changed, so reading it for every entry of a long list stays cheap.
    void refresh();

    const QString &text() const { return m_text; } // "hh:mm", 24-hour, fixed ":"
    // The local date as a Julian day times 1440, plus the minute of the day.
    qint64 serialMinute() const { return m_serial; }
    // How far the last reading lies into its minute, 0 to 59999.
    qint64 msecsIntoMinute() const { return m_now - m_start; }

private:
    const Clock &m_clock;
    qint64 m_now = 0; // the last reading
    qint64 m_start = 1; // the current minute's first and one-past-last millisecond
    qint64 m_end = 0;
    QString m_text;
    qint64 m_serial = 0;
};
