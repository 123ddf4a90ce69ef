// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The source of the current time, injected into the window so tests can set the time.
#pragma once

#include <QtGlobal>

class Clock
{
public:
    virtual ~Clock() = default;
    // Milliseconds since the epoch (UTC); never fails.
    virtual qint64 currentMSecsSinceEpoch() const = 0;
};

class SystemClock final : public Clock
{
public:
    qint64 currentMSecsSinceEpoch() const override;
};
