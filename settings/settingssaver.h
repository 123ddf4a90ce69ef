// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// Saving the settings soon after each change, on a thread of its own, so that a crash, a
// kill or a lost display keeps the day's changes and a slow disk never holds up the window.
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
    // A save put off tries again after this, twice as long after each try, up to
    // kMaxRetryMs, so that a copy that hangs with the lock costs next to nothing.
    static constexpr int kRetryMs = 1000;
    static constexpr int kMaxRetryMs = 32000;

    // snapshot is called on the window's thread when a save starts; it must be cheap (the
    // controls' texts and lists are implicitly shared).
    SettingsSaver(QString path, std::function<SettingsSnapshot()> snapshot, QObject *parent);
    // Waits for a save that is running; a save not yet started is dropped.
    ~SettingsSaver() override;

    // Something that is saved has changed: a save starts kQuietMs after the last of a
    // burst of changes, and no later than kMaxDelayMs after the first unsaved one. A change
    // while a save runs gives one more save after it. Never blocks.
    void changed();

    // Hands snapshot to the saving thread at once; it replaces one still waiting there.
    // Never blocks: the thread reads the file again, replaces the program's keys and writes
    // it (saveSettingsFile). A failure is logged once per reason under tollwick.settings.
    // While another copy holds the lock the save is put off and tried again (logged once),
    // never written without it. When no thread can be started (the process's thread limit)
    // that is logged once and the snapshot waits for the next try, kMaxDelayMs later or
    // at the next change; the close's own save does not need the thread.
    void save(SettingsSnapshot snapshot);

    // For the close: no more saves start; waits for a running save to end (its wait for
    // the lock is at most kLockWaitMs) and drops one still waiting or put off, so that the
    // final save, made by the caller, comes after it.
    void finish();

private:
    void startSave();
    bool startThread();
    void run();

    const QString m_path;
    const std::function<SettingsSnapshot()> m_snapshot;
    QTimer m_quiet;
    QElapsedTimer m_firstChange; // valid while a change waits to be saved
    bool m_finished = false;
    bool m_threadFailed = false; // a start of the thread has failed, and said so

    std::thread m_thread; // started at the first save
    std::mutex m_mutex;
    std::condition_variable m_wake; // a snapshot is waiting, or the thread must end
    std::condition_variable m_idle; // the running save has ended
    std::optional<SettingsSnapshot> m_next;
    bool m_saving = false;
    bool m_stopping = false;
};
