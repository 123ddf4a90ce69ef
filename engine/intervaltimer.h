// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// A timer driven only through its interval: always enabled, 0 means no ticks.
#pragma once

#include <QObject>
#include <QTimer>

class IntervalTimer : public QObject
{
    Q_OBJECT
public:
    explicit IntervalTimer(QObject *parent);

    // Any nonzero positive interval (re)starts the countdown from now; 0 or a negative
    // value stops the timer. Never fails.
    void setInterval(int msec);
    int interval() const { return m_interval; }

Q_SIGNALS:
    void timeout();

private:
    QTimer m_timer;
    int m_interval = 0;
};
