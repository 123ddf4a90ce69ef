// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The Wayland way to ask for attention: an activation request through xdg-activation.
// Without a click of the user's behind it, compositors do not hand the focus over; they
// mark the window instead (sway: urgent; GNOME: "is ready"; KDE: demands attention).
#pragma once

class QWindow;

// False when the window is not on Wayland or the compositor has no xdg-activation. The
// protocol has no way to take a request back: the mark ends when the user comes.
bool requestWaylandActivation(QWindow *window);
