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
    // still plays. Silent on every failure (empty path, missing or unreadable file, not a
    // sound file, no sound server); never reports, never blocks for long.
    virtual void play(const QString &path) = 0;
};
