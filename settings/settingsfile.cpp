// Both lists share the entry keys time0, time1, ... told apart only by their sections;
// the alarm panel's sound lives under "FileName" in section "FileName2", and the two
// timings share section "time2" with the alarm list.
#include "settingsfile.h"

#include "alarmtime.h"
#include "profiledocument.h"

#include <QStandardPaths>

namespace {

const QString kAbsent = QStringLiteral("not");

std::optional<QString> read(const ProfileDocument &doc, const QString &section, const QString &key)
{
    QString value = doc.value(section, key, kAbsent);
    if (value.startsWith(kAbsent))
        return std::nullopt;
    return value;
}

QStringList readList(const ProfileDocument &doc, const QString &section)
{
    QStringList entries;
    const std::optional<QString> countText = read(doc, section, QStringLiteral("count"));
    bool ok = false;
    const int count = countText ? countText->toInt(&ok, 10) : 0;
    if (!ok)
        return entries;
    const int expected = qMin(count, kMaxEntries);
    while (entries.size() < expected) {
        const std::optional<QString> entry =
            read(doc, section, QLatin1String("time") + QString::number(entries.size()));
        if (!entry)
            break;
        entries.append(*entry);
    }
    return entries;
}

void writeList(ProfileDocument &doc, const QString &section, const QStringList &entries)
{
    doc.setValue(section, QStringLiteral("Count"), QString::number(entries.size()));
    for (int i = 0; i < entries.size(); ++i)
        doc.setValue(section, QLatin1String("time") + QString::number(i), entries[i]);
}

} // namespace

LoadedSettings readSettings(const ProfileDocument &doc)
{
    LoadedSettings s;
    s.notices = readList(doc, QStringLiteral("time"));
    s.noticeSound = read(doc, QStringLiteral("FileName"), QStringLiteral("FileName"));
    s.alarms = readList(doc, QStringLiteral("time2"));
    s.alarmSound = read(doc, QStringLiteral("FileName2"), QStringLiteral("FileName"));
    s.seconds = read(doc, QStringLiteral("time2"), QStringLiteral("byou"));
    s.minutes = read(doc, QStringLiteral("time2"), QStringLiteral("hun"));
    return s;
}

void writeSettings(ProfileDocument &doc, const SettingsSnapshot &settings)
{
    writeList(doc, QStringLiteral("time"), settings.notices);
    doc.setValue(QStringLiteral("FileName"), QStringLiteral("FileName"), settings.noticeSound);
    writeList(doc, QStringLiteral("time2"), settings.alarms);
    doc.setValue(QStringLiteral("FileName2"), QStringLiteral("FileName"), settings.alarmSound);
    doc.setValue(QStringLiteral("time2"), QStringLiteral("byou"), settings.seconds);
    doc.setValue(QStringLiteral("time2"), QStringLiteral("hun"), settings.minutes);
}

QString defaultSettingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
           + QStringLiteral("/tollwick/tollwk.ini");
}
