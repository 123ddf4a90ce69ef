// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The source of the current time, injected into the window so tests can set the time.
#pragma once

#include <QtGlobal>

class Clock
{
public:
    virtual ~Clock() = default;
    // Milliseconds since the epoch (UTC); never fails. Follows every change of the wall
    // clock, by hand or by time synchronisation.
    virtual qint64 currentMSecsSinceEpoch() const = 0;
    // Milliseconds on a clock that only runs forward at the pace of real time, whatever
    // is done to the wall clock; only differences mean anything. Never fails.
    virtual qint64 elapsedMSecs() const = 0;
};

class SystemClock final : public Clock
{
public:
    qint64 currentMSecsSinceEpoch() const override;
    qint64 elapsedMSecs() const override;
};
