// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The window only takes the snapshot; reading the file again, the wait for the lock,
// writing, fsync and rename happen on the saving thread, the close's save as well. A save
// after a change of what is already in the file is not written, so a sort that changes
// nothing, or an edit undone within the quiet, costs the disk nothing.
#include "settingssaver.h"

#include <chrono>
#include <csignal>
#include <pthread.h>
#include <system_error>

SettingsSaver::SettingsSaver(QString path, std::function<SettingsSnapshot()> snapshot,
                             QObject *parent)
    : QObject(parent)
    , m_path(std::move(path))
    , m_snapshot(std::move(snapshot))
{
    m_quiet.setSingleShot(true);
    m_quiet.setInterval(kQuietMs);
    connect(&m_quiet, &QTimer::timeout, this, &SettingsSaver::startSave);
}

SettingsSaver::~SettingsSaver()
{
    finish();
}

void SettingsSaver::changed()
{
    if (m_finished)
        return;
    if (!m_firstChange.isValid())
        m_firstChange.start();
    const qint64 left = kMaxDelayMs - m_firstChange.elapsed();
    if (left <= 0) {
        startSave();
        return;
    }
    m_quiet.start(int(qMin<qint64>(kQuietMs, left)));
}

void SettingsSaver::startSave()
{
    m_quiet.stop();
    m_firstChange.invalidate();
    if (!m_finished)
        save(m_snapshot());
}

void SettingsSaver::save(SettingsSnapshot snapshot)
{
    {
        const std::lock_guard lock(m_mutex);
        m_next = std::move(snapshot);
    }
    if (m_thread.joinable() || startThread())
        m_wake.notify_one();
}

bool SettingsSaver::startThread()
{
    // The shutdown signals are the window's: its thread reads them from their pipe, and
    // a write of this thread's is never cut short by one.
    sigset_t blocked, old;
    sigemptyset(&blocked);
    for (const int number : {SIGTERM, SIGINT, SIGHUP})
        sigaddset(&blocked, number);
    pthread_sigmask(SIG_BLOCK, &blocked, &old);
    QString failure;
    try {
        m_thread = std::thread(&SettingsSaver::run, this);
    } catch (const std::system_error &error) {
        failure = QString::fromLocal8Bit(error.what());
    }
    pthread_sigmask(SIG_SETMASK, &old, nullptr);
    if (failure.isEmpty())
        return true;
    // At the process's thread limit (readers stuck on a hung disk add to it), which may
    // not last: the snapshot waits in m_next for the next try.
    if (!m_threadFailed)
        qCWarning(lcSettings).noquote()
            << "no thread to save the settings on, tried again later and at the close -" << failure;
    m_threadFailed = true;
    if (!m_finished) {
        m_firstChange.start();
        m_quiet.start(kMaxDelayMs);
    }
    return false;
}

void SettingsSaver::saveLast(SettingsSnapshot snapshot)
{
    m_finished = true;
    m_quiet.stop();
    m_firstChange.invalidate();
    {
        const std::lock_guard lock(m_mutex);
        // The close's snapshot is the newest: one waiting or put off has nothing it lacks.
        m_next.reset();
        m_last = std::move(snapshot);
    }
    if (!m_stopping && (m_thread.joinable() || startThread()))
        m_wake.notify_one();
}

bool SettingsSaver::waitForLast()
{
    std::unique_lock lock(m_mutex);
    if (m_last && (!m_thread.joinable() || m_stopping)) {
        // No thread to make it: made here, where the caller has chosen to wait.
        const SettingsSnapshot snapshot = std::move(*m_last);
        m_last.reset();
        lock.unlock();
        const bool saved = writeLast(snapshot);
        lock.lock();
        m_lastSaved = saved;
        return saved;
    }
    m_idle.wait(lock, [this] { return !m_last && !m_savingLast; });
    return m_lastSaved;
}

bool SettingsSaver::writeLast(const SettingsSnapshot &snapshot)
{
    QString error;
    // Waits for another copy's lock as long as a close may wait, never writes without it.
    const bool saved = saveSettingsFile(m_path, snapshot, &error) == SaveResult::Saved;
    if (!saved)
        qCWarning(lcSettings).noquote() << "settings not saved to" << m_path << "-" << error;
    return saved;
}

void SettingsSaver::finish()
{
    m_finished = true;
    m_quiet.stop();
    waitForLast();
    if (!m_thread.joinable())
        return;
    {
        const std::lock_guard lock(m_mutex);
        m_next.reset();
        m_stopping = true;
    }
    m_wake.notify_one();
    // After the save that is running, if any: its wait for the lock is at most kLockWaitMs.
    m_thread.join();
}

void SettingsSaver::run()
{
    pthread_setname_np(pthread_self(), "tollwick-save");
    std::optional<SettingsSnapshot> saved; // what the file holds, as far as this thread knows
    std::optional<SettingsSnapshot> unsaved; // a save that failed or was put off
    int failures = 0; // tries in a row that did not save
    QStringList told; // the reasons logged since the last save that was made
    std::unique_lock lock(m_mutex);
    for (;;) {
        const auto due = [this] { return m_stopping || m_next || m_last; };
        // Nothing runs while nothing is unsaved.
        if (unsaved)
            m_wake.wait_for(
                lock,
                std::chrono::milliseconds(qMin(kRetryMs << qMin(failures - 1, 5), kMaxRetryMs)),
                due);
        else
            m_wake.wait(lock, due);
        if (m_stopping)
            return;
        if (m_last) {
            const SettingsSnapshot snapshot = std::move(*m_last);
            m_last.reset();
            unsaved.reset();
            m_savingLast = true;
            lock.unlock();
            const bool ok = writeLast(snapshot);
            lock.lock();
            m_lastSaved = ok;
            m_savingLast = false;
            m_idle.notify_all();
            continue;
        }
        // A newer snapshot replaces one put off or failed.
        SettingsSnapshot snapshot = m_next ? std::move(*m_next) : std::move(*unsaved);
        m_next.reset();
        unsaved.reset();
        if (saved && *saved == snapshot) {
            failures = 0;
            continue;
        }
        lock.unlock();
        QString error;
        const SaveResult result = saveSettingsFile(m_path, snapshot, &error, kLockWaitMs);
        if (result == SaveResult::Saved) {
            if (!told.isEmpty())
                qCInfo(lcSettings).noquote() << "settings saved to" << m_path << "again";
            told.clear();
            failures = 0;
            saved = std::move(snapshot);
        } else {
            // Once for each reason, not at every try: a disk that stays full, or a copy
            // that holds on to the lock, would otherwise say so every few seconds.
            if (!told.contains(error)) {
                told.append(error);
                if (result == SaveResult::LockHeld)
                    qCInfo(lcSettings).noquote()
                        << "settings save put off, tried again later -" << error;
                else
                    qCWarning(lcSettings).noquote() << "settings not saved to" << m_path << "-"
                                                    << error << "- tried again later";
            }
            ++failures;
            // A failed save may have met a file changed by another hand: the next is made
            // whatever this thread thinks the file holds.
            saved.reset();
            unsaved = std::move(snapshot);
        }
        lock.lock();
    }
}
