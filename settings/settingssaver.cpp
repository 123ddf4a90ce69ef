// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The window only takes the snapshot; reading the file again, writing, fsync and rename
// happen on the saving thread. A save of what is already in the file is not written, so a
// sort that changes nothing, or an edit undone within the quiet, costs the disk nothing.
#include "settingssaver.h"

#include <csignal>
#include <pthread.h>

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
    if (!m_thread.joinable()) {
        // The shutdown signals are the window's: its thread reads them from their pipe, and
        // a write of this thread's is never cut short by one.
        sigset_t blocked, old;
        sigemptyset(&blocked);
        for (const int number : {SIGTERM, SIGINT, SIGHUP})
            sigaddset(&blocked, number);
        pthread_sigmask(SIG_BLOCK, &blocked, &old);
        m_thread = std::thread(&SettingsSaver::run, this);
        pthread_sigmask(SIG_SETMASK, &old, nullptr);
    }
    m_wake.notify_one();
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
    QString lastError;
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || m_next; });
        if (m_stopping)
            return;
        SettingsSnapshot snapshot = std::move(*m_next);
        m_next.reset();
        if (saved && *saved == snapshot)
            continue;
        m_saving = true;
        lock.unlock();
        QString error;
        const bool ok = saveSettingsFile(m_path, snapshot, &error);
        // A disk that stays full would otherwise say so at every change.
        if (!ok && error != lastError)
            qCWarning(lcSettings).noquote() << "settings not saved to" << m_path << "-" << error;
        lastError = ok ? QString() : error;
        if (ok)
            saved = std::move(snapshot);
        else
            saved.reset();
        lock.lock();
        m_saving = false;
        m_idle.notify_all();
    }
}
