// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// Saving the settings soon after each change, on a thread of its own, so that a crash, a
// kill or a lost display keeps the day's changes and a slow disk never holds up the window;
// and the close's save, behind a window that has already gone.
#pragma once

#include "settingsfile.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <condition_variable>
#include <mutex>
#include <optional>
#include <thread>

class SettingsSaver final : public QObject
{
    Q_OBJECT
public:
    // How long a burst of changes may go on before its changes are saved all the same.
    static constexpr int kMaxDelayMs = 5000;
    // The quiet after the last change of a burst before the save starts.
    static constexpr int kQuietMs = 500;
    // How long a save waits for the lock another copy holds before it is put off: a
    // change is on disk within a second, so a lock held longer is worth a line in the log.
    static constexpr int kLockWaitMs = 1000;
    // A save put off or failed tries again after this, twice as long after each try, up to
    // kMaxRetryMs, so that a copy that hangs with the lock, or a disk that stays full, costs
    // next to nothing.
    static constexpr int kRetryMs = 1000;
    static constexpr int kMaxRetryMs = 32000;

    // snapshot is called on the window's thread when a save starts; it must be cheap (the
    // controls' texts and lists are implicitly shared).
    SettingsSaver(QString path, std::function<SettingsSnapshot()> snapshot, QObject *parent);
    // Waits for a save that is running and for the last save (saveLast); a save after a
    // change not yet made is dropped.
    ~SettingsSaver() override;

    // Something that is saved has changed: a save starts kQuietMs after the last of a
    // burst of changes, and no later than kMaxDelayMs after the first unsaved one. A change
    // while a save runs gives one more save after it. Never blocks.
    void changed();

    // Hands snapshot to the saving thread at once; it replaces one still waiting there.
    // Never blocks: the thread reads the file again, replaces the program's keys and writes
    // it (saveSettingsFile), unless the file holds that snapshot already. A save that fails
    // for any reason (another copy holds the lock, a full disk or quota, a read-only file
    // system, an I/O error) is tried again after kRetryMs, 2 s, 4 s ... kMaxRetryMs until it
    // is made, with no further change, or at once with the next change's snapshot; never
    // written without the lock. Each reason is logged once under tollwick.settings (a held
    // lock at info level), and the save made after them once more. When no thread can be
    // started (the process's thread limit) that is logged once and the snapshot waits for
    // the next try, kMaxDelayMs later or at the next change.
    void save(SettingsSnapshot snapshot);

    // For the close: no save after a change starts any more, one waiting or put off is
    // dropped, and snapshot is saved after a save that is running ends, written even where
    // the file holds it already, waiting up to kSettingsLockWaitMs for another copy's lock.
    // Never blocks: the wait for the lock and the disk happen on the saving thread. A
    // failure is logged. Where no thread can be started the save waits for waitForLast().
    void saveLast(SettingsSnapshot snapshot);
    // Waits for the save saveLast asked for to end, and says whether it wrote the file;
    // true when none was asked for. Makes that save itself where it has no thread. Blocks
    // for as long as the save: up to kSettingsLockWaitMs for the lock, and on the disk.
    bool waitForLast();

    // No more saves start; waits for a running save and the last one to end, and drops
    // one still waiting or put off.
    void finish();

private:
    void startSave();
    bool startThread();
    void run();
    // The close's save, on whichever thread makes it; true when the file was written.
    bool writeLast(const SettingsSnapshot &snapshot);

    const QString m_path;
    const std::function<SettingsSnapshot()> m_snapshot;
    QTimer m_quiet;
    QElapsedTimer m_firstChange; // valid while a change waits to be saved
    bool m_finished = false;
    bool m_threadFailed = false; // a start of the thread has failed, and said so

    std::thread m_thread; // started at the first save
    std::mutex m_mutex;
    std::condition_variable m_wake; // a snapshot is waiting, or the thread must end
    std::condition_variable m_idle; // the close's save has ended
    std::optional<SettingsSnapshot> m_next;
    std::optional<SettingsSnapshot> m_last; // the close's, not yet started
    bool m_savingLast = false;
    bool m_lastSaved = true; // the close's save wrote the file, or none was asked for
    bool m_stopping = false;
};
