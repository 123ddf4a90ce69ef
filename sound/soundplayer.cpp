// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// Anchors the interface's vtable in this library.
#include "soundplayer.h"
