// The window's LoadSettings and SaveSettings.
#include "tollwk.h"

#include "limitedlineedit.h"
#include "profiledocument.h"
#include "settingsfile.h"

#include "listbox.h"

#include <cstdio>

void tollwk::LoadSettings()
{
    m_settingsFile = std::make_unique<ProfileDocument>(ProfileDocument::fromFile(m_settingsPath));
    const LoadedSettings s = readSettings(*m_settingsFile);
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
    if (!m_settingsFile)
        m_settingsFile =
            std::make_unique<ProfileDocument>(ProfileDocument::fromFile(m_settingsPath));
    ProfileDocument &doc = *m_settingsFile;
    writeSettings(doc,
                  SettingsSnapshot {List1[0]->entries(), Sname[0]->text(), List1[1]->entries(),
                                    Sname[1]->text(), byoukan->text(), hunkan->text()});
    QString error;
    m_saveOk = doc.save(m_settingsPath, &error);
    if (!m_saveOk) {
        // No message box: the program ends as the user asked, and says why on stderr.
        std::fprintf(stderr, "tollwick: settings not saved to %s: %s\n", qPrintable(m_settingsPath),
                     qPrintable(error));
    }
}
