// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The one sound output of the program: a WAV file played by path in the background.
#pragma once

#include <QString>

class SoundPlayer
{
public:
    virtual ~SoundPlayer() = default;
    // Starts the file from its beginning and returns at once, cutting off whatever sound
    // still plays or is still on its way from the disk. Silent on every failure (empty
    // path, missing or unreadable file, not a sound file, no sound server); never reports,
    // never waits for the disk.
    virtual void play(const QString &path) = 0;
    // Drops a sound asked for and not heard yet, whatever it still waits for (its disk,
    // the sound server, a sleeping output), so that it is never heard later; a sound
    // already heard plays to its end. A player that starts every sound at once has
    // nothing to drop.
    virtual void dropPending() { }
};
