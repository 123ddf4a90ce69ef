// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The X11 mark: the EWMH demands-attention state.
#pragma once

#include "windowmarker.h"

class X11WindowMarker final : public WindowMarker
{
public:
    // False when the window is not on an X server the program is connected to.
    bool mark(QWindow *window, bool on) override;
};
