// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The window's LoadSettings and SaveSettings, and the saves after each change. Each save
// reads the file afresh, as the desktop's profile functions do for every key: it changes
// only the program's own keys in the file as it is then, so edits made meanwhile by hand
// or by another program stay.
#include "tollwk.h"

#include "limitedlineedit.h"
#include "listbox.h"
#include "profiledocument.h"
#include "settingsfile.h"
#include "settingssaver.h"

void tollwk::LoadSettings()
{
    // A file that cannot be read loads like a missing one.
    std::optional<ProfileDocument> doc = ProfileDocument::fromFile(m_settingsPath);
    const LoadedSettings s = readSettings(doc ? std::move(*doc) : ProfileDocument());
    List1[0]->addItems(s.notices);
    if (s.noticeSound)
        Sname[0]->setText(*s.noticeSound);
    List1[1]->addItems(s.alarms);
    if (s.alarmSound)
        Sname[1]->setText(*s.alarmSound);
    // Ordinary assignments: the boxes' checks run on them as on typed text.
    if (s.seconds)
        byoukan->setText(*s.seconds);
    if (s.minutes)
        hunkan->setText(*s.minutes);
}

SettingsSnapshot tollwk::settingsSnapshot() const
{
    return SettingsSnapshot {List1[0]->entries(), Sname[0]->text(), List1[1]->entries(),
                             Sname[1]->text(),    byoukan->text(),  hunkan->text()};
}

void tollwk::SaveSettings()
{
    // Made on the saving thread after a save still running there, so this one comes last;
    // the window does not wait for it, nor for another copy's lock or a slow disk: the
    // close's save happens behind a window that has already gone (lastSaveSucceeded()
    // waits for it). No message box: the program ends as the user asked, and the saver
    // says why in the log.
    m_saver->saveLast(settingsSnapshot());
}

bool tollwk::lastSaveSucceeded() const
{
    return m_saver->waitForLast();
}

void tollwk::saveOnEveryChange()
{
    for (int i = 0; i < 2; ++i) {
        connect(List1[i], &ListBox::entriesChanged, m_saver, &SettingsSaver::changed);
        connect(Sname[i], &QLineEdit::textChanged, m_saver, &SettingsSaver::changed);
    }
    // Connected after the boxes' checks, so a save sees the text the check left.
    connect(byoukan, &QLineEdit::textChanged, m_saver, &SettingsSaver::changed);
    connect(hunkan, &QLineEdit::textChanged, m_saver, &SettingsSaver::changed);
}
