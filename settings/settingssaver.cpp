// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The window only takes the snapshot; reading the file again, writing, fsync and rename
// happen on the saving thread. A save of what is already in the file is not written, so a
// sort that changes nothing, or an edit undone within the quiet, costs the disk nothing.
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

void SettingsSaver::finish()
{
    m_finished = true;
    m_quiet.stop();
    if (!m_thread.joinable())
        return;
    {
        std::unique_lock lock(m_mutex);
        m_next.reset();
        m_stopping = true;
        m_idle.wait(lock, [this] { return !m_saving; });
    }
    m_wake.notify_one();
    m_thread.join();
}

void SettingsSaver::run()
{
    pthread_setname_np(pthread_self(), "tollwick-save");
    std::optional<SettingsSnapshot> saved; // what the file holds, as far as this thread knows
    std::optional<SettingsSnapshot> putOff; // another copy held the lock
    int putOffs = 0; // tries in a row that found the lock held
    QString lastError;
    std::unique_lock lock(m_mutex);
    for (;;) {
        const auto due = [this] { return m_stopping || m_next; };
        if (putOff)
            m_wake.wait_for(
                lock,
                std::chrono::milliseconds(qMin(kRetryMs << qMin(putOffs - 1, 5), kMaxRetryMs)),
                due);
        else
            m_wake.wait(lock, due);
        if (m_stopping)
            return;
        // A newer snapshot replaces one put off.
        SettingsSnapshot snapshot = m_next ? std::move(*m_next) : std::move(*putOff);
        m_next.reset();
        putOff.reset();
        if (saved && *saved == snapshot)
            continue;
        m_saving = true;
        lock.unlock();
        QString error;
        const SaveResult result = saveSettingsFile(m_path, snapshot, &error, kLockWaitMs);
        if (result == SaveResult::LockHeld) {
            // Once for each time the lock stays held, not at every try.
            if (putOffs++ == 0)
                qCInfo(lcSettings).noquote()
                    << "settings save put off, tried again later -" << error;
            putOff = std::move(snapshot);
        } else {
            putOffs = 0;
            const bool ok = result == SaveResult::Saved;
            // A disk that stays full would otherwise say so at every change.
            if (!ok && error != lastError)
                qCWarning(lcSettings).noquote()
                    << "settings not saved to" << m_path << "-" << error;
            lastError = ok ? QString() : error;
            if (ok)
                saved = std::move(snapshot);
            else
                saved.reset();
        }
        lock.lock();
        m_saving = false;
        m_idle.notify_all();
    }
}
