// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The Wayland way to ask for attention: an activation request through xdg-activation.
// Without a click of the user's behind it, compositors do not hand the focus over; they
// mark the window instead (sway: urgent; GNOME: "is ready"; KDE: demands attention).
#pragma once

#include "windowmarker.h"

class WaylandWindowMarker final : public WindowMarker
{
public:
    // False when the window is not on Wayland or the compositor has no xdg-activation. The
    // protocol has no way to take a request back: withdrawing does nothing and gives false,
    // and the mark ends when the user comes.
    bool mark(QWindow *window, bool on) override;
};
