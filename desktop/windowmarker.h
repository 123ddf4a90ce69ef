// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// One display server's way to mark a window for the user's eye, each in a file of its own:
// the X11 mark (x11windowmarker.cpp), the Wayland activation request
// (waylandwindowmarker.cpp), and Qt's own alert where the build has neither.
#pragma once

#include <memory>

class QWindow;

class WindowMarker
{
public:
    virtual ~WindowMarker() = default;
    // Sets (on) or withdraws the mark. False when the window cannot be marked this way
    // (not on this display server, no connection, no such protocol); never reports more.
    virtual bool mark(QWindow *window, bool on) = 0;

    // The way of the display server the program runs on; null where it has none (Qt's
    // offscreen platform, say).
    static std::unique_ptr<WindowMarker> forThisDisplay();
};
