// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// A sound player that only records what it was asked to play, for the window tests that
// are not about sound.
#pragma once

#include "soundplayer.h"

#include <QStringList>

class RecordingSound final : public SoundPlayer
{
public:
    void play(const QString &path) override { played.append(path); }

    // Every path asked for, in order, also the empty ones.
    QStringList played;
};
