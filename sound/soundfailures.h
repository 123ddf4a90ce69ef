// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// Why a sound stayed silent, for a person reading the log: nothing is ever shown to the
// user, but each cause is logged once at info level under tollwick.sound.
#pragma once

#include <QLoggingCategory>
#include <QString>

#include <array>
#include <optional>

Q_DECLARE_LOGGING_CATEGORY(lcSound)

class SoundFailures
{
public:
    enum Cause {
        NoServer,
        StreamRefused,
        StreamStalled,
        Unreadable,
        WriteRefused,
        DrainFailed,
        OutOfResources,
        TimedOut, // not a failure: what timed out is asked for again
        CauseCount
    };

    // Logs why unless the same cause gave the same reason last time, so that a ring of a
    // file that cannot be read logs one line, not one a tick.
    void report(Cause cause, const QString &why);
    // The cause has gone (a connection made, a stream started, a file read): its next
    // failure is logged again.
    void clear(Cause cause) { m_last[cause].reset(); }

private:
    std::array<std::optional<QString>, CauseCount> m_last;
};
