// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The window's minute check, alarm ring, STOP, play and browse.
#include "tollwk.h"

#include "alarmtime.h"
#include "attention.h"
#include "clock.h"
#include "filedialog.h"
#include "intervaltimer.h"
#include "limitedlineedit.h"
#include "listbox.h"
#include "minutereader.h"
#include "ringtiming.h"
#include "soundplayer.h"

void tollwk::Timer1_Timer()
{
    MinuteReader now(m_clock);
    setWindowTitle(now.text());

    // The last played entry guards only its own minute; the same entry plays again on the
    // next day.
    if (m_lastPlayedAt != now.serialMinute())
        lastPlayedEntry.clear();
    // No event can change a list while the tick runs, so one look at each list serves.
    const QStringList notices = List1[0]->entries();
    for (const QString &entry : notices) {
        now.refresh();
        if (entry != now.text())
            continue;
        if (entry == lastPlayedEntry)
            break;
        lastPlayedEntry = entry;
        m_lastPlayedAt = now.serialMinute();
        PlaySound_Click(0);
    }

    const QStringList alarms = List1[1]->entries();
    for (const QString &entry : alarms) {
        now.refresh();
        if (entry != now.text())
            continue;
        Timer2->setInterval(ringIntervalMs(byoukan->text()));
        ringStartMinute = minuteOfDay(entry);
        // The entry is this very minute, so the ring's minutes are counted from its start.
        m_ringStartMinuteBegan = m_clock.elapsedMSecs() - now.msecsIntoMinute();
        // A ringing window that is minimized or hidden asks to be found, until the ring ends.
        if (Timer2->interval() != 0)
            m_attention->request();
        else
            m_attention->withdraw();
    }
}

void tollwk::Timer2_Timer()
{
    if (ringHasEnded(ringStartMinute, ringDurationMinutes(hunkan->text()),
                     m_clock.elapsedMSecs() - m_ringStartMinuteBegan)) {
        Timer2->setInterval(0);
        // The last tick's sound, still waiting for its output, is not heard after the ring.
        m_sound.dropPending();
        m_attention->withdraw();
        return;
    }
    PlaySound_Click(1);
}

void tollwk::btn_stop_Click()
{
    Timer2->setInterval(0);
    // A ring's sound still on its way (a slow disk, a sleeping output, a stuck server)
    // would otherwise be heard after STOP; one already heard plays to its end.
    m_sound.dropPending();
    m_attention->withdraw();
}

void tollwk::PlaySound_Click(qint16 Index)
{
    m_sound.play(Sname[Index]->text());
}

void tollwk::sansyou_Click(qint16 Index)
{
    if (const std::optional<QString> path = CommonDialog1.showOpen(this))
        Sname[Index]->setText(*path);
}
