// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The window's LoadSettings and SaveSettings. Each reads the file afresh, as the desktop's
// profile functions do for every key: the save changes only the program's own keys in the
// file as it is at close, so edits made meanwhile by hand or by another program stay.
#include "tollwk.h"

#include "limitedlineedit.h"
#include "listbox.h"
#include "profiledocument.h"
#include "settingsfile.h"

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

void tollwk::SaveSettings()
{
    QString error;
    std::optional<ProfileDocument> doc = ProfileDocument::fromFile(m_settingsPath, &error);
    // A file that exists but cannot be read is not replaced: its other lines would be lost.
    m_saveOk = doc.has_value();
    if (m_saveOk) {
        writeSettings(*doc,
                      SettingsSnapshot {List1[0]->entries(), Sname[0]->text(), List1[1]->entries(),
                                        Sname[1]->text(), byoukan->text(), hunkan->text()});
        m_saveOk = doc->save(m_settingsPath, &error);
    }
    // No message box: the program ends as the user asked, and says why in the log.
    if (!m_saveOk)
        qCWarning(lcSettings).noquote()
            << "settings not saved to" << m_settingsPath << "-" << error;
}
