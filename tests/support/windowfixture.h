// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// A window with a set clock, a recording sound player and a scripted file dialog.
#pragma once

#include "fakeclock.h"
#include "scripteddialog.h"
#include "recordingsound.h"
#include "tollwk.h"

#include <memory>

struct WindowFixture {
    explicit WindowFixture(const QString &settingsPath = QString());

    FakeClock clock;
    RecordingSound sound;
    ScriptedDialog dialog;
    std::unique_ptr<tollwk> window;

    // Shows the window and waits until it is active, so that focus is real.
    bool showActive();
};
