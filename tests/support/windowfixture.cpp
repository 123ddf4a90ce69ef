// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
#include "windowfixture.h"

#include <QTest>

WindowFixture::WindowFixture(const QString &settingsPath)
    : window(std::make_unique<tollwk>(clock, sound, dialog, settingsPath))
{
}

bool WindowFixture::showActive()
{
    window->show();
    window->activateWindow();
    return QTest::qWaitForWindowActive(window.get());
}
