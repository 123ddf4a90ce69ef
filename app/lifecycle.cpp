// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// Start-up and shut-down: load, start the minute tick; on close, save and end.
#include "tollwk.h"

#include "intervaltimer.h"

void tollwk::Form_Load()
{
    LoadSettings();
    // From here on, every change reaches the file within a second, not only at the close:
    // the program may end without one (a lost display, a kill, a power cut).
    saveOnEveryChange();
    // The first minute check comes 60 s from now, not at once.
    Timer1->setInterval(60000);
}

void tollwk::Form_Unload(qint16 &Cancel)
{
    Q_UNUSED(Cancel); // never vetoes the close
    if (m_unloaded)
        return;
    m_unloaded = true;
    // No tick or ring may follow the save.
    Timer1->setInterval(0);
    Timer2->setInterval(0);
    // Only hands the snapshot over: the window goes away at once, and the save, with its
    // wait for another copy's lock or a slow disk, goes on behind it until main() ends.
    SaveSettings();
}
