// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The window system the program runs on, chosen before the application object exists:
// through Xwayland where the Wayland compositor draws no title bars, natively elsewhere.
#pragma once

#include <chrono>

class WindowSystemChoice
{
public:
    enum class Outcome {
        UserChoice, // QT_QPA_PLATFORM or -platform: left as the user set it
        NoXServer, // no DISPLAY: whatever Qt picks
        NoCompositor, // no Wayland compositor to be reached: whatever Qt picks
        HandedSocket, // WAYLAND_SOCKET: asking would take Qt's only connection
        CompositorDecorates, // zxdg_decoration_manager_v1 offered: Qt's own pick stands
        NoAnswer, // the compositor gave no answer in time: Qt's own pick stands
        ThroughXwayland, // no title bars from the compositor: X11 first, Wayland after
    };

    // Reads the environment and arguments, asks the compositor for its globals when it must
    // (one round trip, waiting at most patience), and sets QT_QPA_PLATFORM for Qt to read
    // when the program is to run through Xwayland. Logs the outcome at info level. Never
    // fails: whatever goes wrong leaves Qt's own choice.
    static Outcome apply(int argc, char **argv,
                         std::chrono::milliseconds patience = std::chrono::milliseconds(1000));
};
