// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The lock beside the settings file that makes one save of one copy a single step against
// the saves of other copies, and the rules by which a lock left behind is taken over.
#pragma once

#include <QLockFile>
#include <QString>

class SettingsLock
{
public:
    // A lock file that names no process (empty, cut short, unreadable) is taken over once it
    // is this old. Qt creates the file, locks it in the kernel and writes its few bytes in
    // one go, so a live copy leaves it nameless for microseconds, and a write of a few bytes
    // on a slow network disk for well under this; one still nameless after 5 s was left by a
    // copy killed (or a power cut) between its creation and its write.
    static constexpr qint64 kNamelessStaleMs = 5000;
    // The lock of a copy on another computer (a shared network home) is taken over once it
    // is this old, with a warning. Whether that copy lives cannot be told from here. A save
    // holds the lock for one read and one write of a small file, seconds at most even on a
    // slow network disk; but the age compares this computer's clock with the time the file
    // server stamped on the lock, and clocks that no time service keeps in step drift apart
    // by minutes. Taking over a live copy's lock is the worse fault of the two (its save and
    // ours may then drop each other's foreign lines), while a wait costs only time: the saves
    // after a change are tried again until they are made. So the longest age allowed.
    static constexpr qint64 kForeignStaleMs = 10 * 60 * 1000;

    // The lock for the file at settingsPath: "<settingsPath>.lock".
    explicit SettingsLock(const QString &settingsPath);
    // Lets the lock go, when held.
    ~SettingsLock() = default;
    SettingsLock(const SettingsLock &) = delete;
    SettingsLock &operator=(const SettingsLock &) = delete;

    enum class Result {
        Locked,
        Held, // another copy held it all the while
        Failed, // it cannot be made (a read-only or full disk, no permission)
    };
    // Takes the lock, waiting up to waitMs for another copy that holds it; a lock left
    // behind (see above, and that of a copy whose process has gone or whose computer has
    // restarted since) is taken over at once. Held, with the holder in error, when the wait
    // ran out; Failed, with the reason in error, when the lock file cannot be made. Blocks
    // for up to waitMs and on the disk.
    Result lock(int waitMs, QString *error);

    QString fileName() const { return m_lock.fileName(); }

private:
    bool takeOverIfLeft();

    QLockFile m_lock;
};
