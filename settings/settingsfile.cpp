// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// Both lists share the entry keys time0, time1, ... told apart only by their sections;
// the alarm panel's sound lives under "FileName" in section "FileName2", and the two
// timings share section "time2" with the alarm list.
#include "settingsfile.h"

#include "alarmtime.h"
#include "profiledocument.h"
#include "settingslock.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <vector>

Q_LOGGING_CATEGORY(lcSettings, "tollwick.settings")

namespace {

const QString kAbsent = QStringLiteral("not");

// "time" and the position in decimal, without an allocation: a full list has 32,767.
class EntryKey
{
public:
    explicit EntryKey(int position)
    {
        char16_t digits[12];
        int n = 0;
        do {
            digits[n++] = char16_t(u'0' + position % 10);
            position /= 10;
        } while (position > 0);
        m_size = 4;
        while (n > 0)
            m_text[m_size++] = digits[--n];
    }
    operator QStringView() const { return QStringView(m_text, m_size); }

private:
    char16_t m_text[16] = {u't', u'i', u'm', u'e'};
    int m_size;
};

std::optional<QString> read(const ProfileDocument &doc, QStringView section, QStringView key)
{
    QString value = doc.value(section, key, kAbsent);
    if (value.startsWith(kAbsent))
        return std::nullopt;
    return value;
}

// A full list holds at most 1,440 different times. Equal entries share one string, so a
// list of 32,767 holds as many strings as it has different times rather than one each:
// faulting in the memory for 65,534 strings was most of a full start-up's extra time.
class SharedTimes
{
public:
    void share(QString &entry)
    {
        const int slot = slotOf(entry);
        if (slot < 0)
            return;
        if (m_times[size_t(slot)].isNull())
            m_times[size_t(slot)] = entry;
        else
            entry = m_times[size_t(slot)];
    }

private:
    // The minute of the day of a time written "hh:mm" exactly, -1 for any other text.
    static int slotOf(QStringView entry)
    {
        if (entry.size() != 5 || entry[2] != u':' || entry[3] > u'5')
            return -1;
        const int minute = minuteOfDay(entry);
        return minute < 24 * 60 ? minute : -1;
    }

    std::vector<QString> m_times = std::vector<QString>(24 * 60);
};

QStringList readList(const ProfileDocument &doc, const QString &section)
{
    SharedTimes times;
    QStringList entries;
    const std::optional<QString> countText = read(doc, section, QStringLiteral("count"));
    bool ok = false;
    const int count = countText ? countText->toInt(&ok, 10) : 0;
    if (!ok)
        return entries;
    const int expected = qMin(count, kMaxEntries);
    entries.reserve(qMax(expected, 0));
    while (entries.size() < expected) {
        std::optional<QString> entry = read(doc, section, EntryKey(int(entries.size())));
        if (!entry)
            break;
        times.share(*entry);
        entries.append(std::move(*entry));
    }
    return entries;
}

void writeList(ProfileDocument &doc, const QString &section, const QStringList &entries)
{
    doc.setValue(section, QStringLiteral("Count"), QString::number(entries.size()));
    for (int i = 0; i < entries.size(); ++i)
        doc.setValue(section, EntryKey(i), entries[i]);
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

SaveResult saveSettingsFile(const QString &path, const SettingsSnapshot &settings, QString *error,
                            int lockWaitMs)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    SettingsLock lock(path);
    switch (lock.lock(lockWaitMs, error)) {
    case SettingsLock::Result::Locked:
        break;
    case SettingsLock::Result::Held:
        return SaveResult::LockHeld;
    case SettingsLock::Result::Failed:
        return SaveResult::Failed;
    }
    std::optional<ProfileDocument> doc = ProfileDocument::fromFile(path, error);
    // A file that exists but cannot be read is not replaced: its other lines would be lost.
    if (!doc)
        return SaveResult::Failed;
    writeSettings(*doc, settings);
    return doc->save(path, error) ? SaveResult::Saved : SaveResult::Failed;
}

QString defaultSettingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/tollwick/tollwk.ini");
}
