// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
#include "slowdisk.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <sys/stat.h>

namespace {
bool mountedOn(const QString &dir)
{
    struct stat inside = {}, parent = {};
    return ::stat(QFile::encodeName(dir).constData(), &inside) == 0
        && ::stat(QFile::encodeName(dir + QStringLiteral("/..")).constData(), &parent) == 0
        && inside.st_dev != parent.st_dev;
}
} // namespace

SlowDisk::~SlowDisk()
{
    // Lazily: a reader the player left stuck in the disk may still hold a file open.
    if (m_mounted)
        QProcess::execute(
            QStringLiteral("fusermount"),
            {QStringLiteral("-u"), QStringLiteral("-z"), m_dir.filePath(QStringLiteral("mnt"))});
    if (m_fs.state() != QProcess::NotRunning) {
        m_fs.terminate();
        if (!m_fs.waitForFinished(5000))
            m_fs.kill();
        m_fs.waitForFinished(3000);
    }
}

bool SlowDisk::mount(QString *error)
{
    const QString mnt = m_dir.filePath(QStringLiteral("mnt"));
    QDir(m_dir.path()).mkpath(QStringLiteral("src"));
    QDir(m_dir.path()).mkpath(QStringLiteral("mnt"));
    setDelays(0, 0);
    m_fs.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_fs.start(QStringLiteral(TOLLWICK_SLOWFS),
               {m_dir.filePath(QStringLiteral("src")), mnt, QStringLiteral("--control"),
                m_dir.filePath(QStringLiteral("delays"))});
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired() && m_fs.state() != QProcess::NotRunning) {
        if (mountedOn(mnt)) {
            m_mounted = true;
            return true;
        }
        m_fs.waitForFinished(50);
    }
    *error = QStringLiteral("slowfs.py did not mount (needs root, /dev/fuse and fusepy)");
    return false;
}

void SlowDisk::setDelays(double open, double read)
{
    m_open = open;
    m_read = read;
    writeDelays();
}

void SlowDisk::setFsyncDelay(double seconds)
{
    m_fsync = seconds;
    writeDelays();
}

void SlowDisk::writeDelays()
{
    QFile control(m_dir.filePath(QStringLiteral("delays")));
    if (control.open(QIODevice::WriteOnly | QIODevice::Truncate))
        control.write(QStringLiteral("open=%1\nread=%2\nfsync=%3\n")
                          .arg(m_open)
                          .arg(m_read)
                          .arg(m_fsync)
                          .toLatin1());
}

QString SlowDisk::path(const QString &name) const
{
    return m_dir.filePath(QStringLiteral("mnt/") + name);
}

QString SlowDisk::source(const QString &name) const
{
    return m_dir.filePath(QStringLiteral("src/") + name);
}
