// A window with a set clock, the real player and a scripted file dialog.
#pragma once

#include "fakeclock.h"
#include "scripteddialog.h"
#include "tollwk.h"
#include "wavplayer.h"

#include <QSignalSpy>

#include <memory>

struct WindowFixture {
    explicit WindowFixture(const QString &settingsPath = QString());

    FakeClock clock;
    WavPlayer sound {nullptr};
    QSignalSpy plays {&sound, &WavPlayer::requested};
    ScriptedDialog dialog;
    std::unique_ptr<tollwk> window;

    // Shows the window and waits until it is active, so that focus is real.
    bool showActive();
};
