// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The real player, in a module of its own for the start-up comparison.
#include "../../platform/wavplayer.h"

extern "C" Q_DECL_EXPORT SoundPlayer *create_player()
{
    return new WavPlayer(nullptr);
}
