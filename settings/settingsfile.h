// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The sections and keys of tollwk.ini, and where the file lives.
#pragma once

#include <QLoggingCategory>
#include <QStringList>
#include <optional>

// "tollwick.settings": why a save did not happen.
Q_DECLARE_LOGGING_CATEGORY(lcSettings)

class ProfileDocument;

// What the window saves.
struct SettingsSnapshot {
    QStringList notices;
    QString noticeSound;
    QStringList alarms;
    QString alarmSound;
    QString seconds; // "byou"
    QString minutes; // "hun"

    bool operator==(const SettingsSnapshot &other) const
    {
        return notices == other.notices && noticeSound == other.noticeSound
            && alarms == other.alarms && alarmSound == other.alarmSound && seconds == other.seconds
            && minutes == other.minutes;
    }
};

// What a file gives; an absent value leaves its control as it is.
struct LoadedSettings {
    QStringList notices;
    std::optional<QString> noticeSound;
    QStringList alarms;
    std::optional<QString> alarmSound;
    std::optional<QString> seconds;
    std::optional<QString> minutes;
};

// A value is absent when the file, section or key is missing or when the value begins
// with "not" (case-sensitive). A count that is not a whole decimal number in the 32-bit
// range counts as absent. A list stops at its count, at its first absent entry or at
// 32767 entries, whichever comes first. Never fails.
LoadedSettings readSettings(const ProfileDocument &doc);

// Writes every key, in the fixed order, into doc; other lines stay as they are.
void writeSettings(ProfileDocument &doc, const SettingsSnapshot &settings);

// What a save came to.
enum class SaveResult {
    Saved,
    Failed, // the file cannot be read or replaced, or the lock cannot be made
    LockHeld, // another copy held the lock all the while: nothing was written
};

// How long a save waits by default for the lock another copy holds: the time the close
// waits, as it always has.
constexpr int kSettingsLockWaitMs = 10000;

// Reads the file at path again, writes settings into it and replaces it atomically, as one
// step against other copies of the program that save at the same moment: under a lock file
// beside it, "<name>.lock", so that neither drops the other's foreign lines or hand edits.
// The file is never replaced without the lock. A copy holding it is waited for up to
// lockWaitMs; a lock left behind is taken over (the rules are SettingsLock's: a copy that
// has died, a lock naming no process 5 s old, one of another computer 10 minutes old).
// LockHeld, with the holder in error, when the wait ran out. Failed, with the reason in
// error, when the file exists but cannot be read, cannot be replaced, or the lock file
// cannot be made (a read-only or full disk, no permission); the old file is then kept as
// it was. May block on the disk and for lockWaitMs: call it where a wait does no harm.
SaveResult saveSettingsFile(const QString &path, const SettingsSnapshot &settings, QString *error,
                            int lockWaitMs = kSettingsLockWaitMs);

// $XDG_CONFIG_HOME/tollwick/tollwk.ini (~/.config/tollwick/tollwk.ini by default).
QString defaultSettingsPath();
