// The window's LoadSettings and SaveSettings.
#include "tollwk.h"

#include "limitedlineedit.h"
#include "profiledocument.h"
#include "settingsfile.h"

#include <QListWidget>

#include <cstdio>

namespace {

QStringList entriesOf(const QListWidget &list)
{
    QStringList entries;
    entries.reserve(list.count());
    for (int i = 0; i < list.count(); ++i)
        entries.append(list.item(i)->text());
    return entries;
}

} // namespace

void tollwk::LoadSettings()
{
    const LoadedSettings s = readSettings(ProfileDocument::fromFile(m_settingsPath));
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
    // Read again so that lines written by others since start-up survive.
    ProfileDocument doc = ProfileDocument::fromFile(m_settingsPath);
    writeSettings(doc, SettingsSnapshot{entriesOf(*List1[0]), Sname[0]->text(),
                                        entriesOf(*List1[1]), Sname[1]->text(),
                                        byoukan->text(), hunkan->text()});
    QString error;
    m_saveOk = doc.save(m_settingsPath, &error);
    if (!m_saveOk) {
        // No message box: the program ends as the user asked, and says why on stderr.
        std::fprintf(stderr, "tollwick: settings not saved to %s: %s\n",
                     qPrintable(m_settingsPath), qPrintable(error));
    }
}
