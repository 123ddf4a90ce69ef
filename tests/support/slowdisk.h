// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// A slow disk for the tests and benchmarks: slowfs.py mounted over a folder of its own,
// its delays changed while it runs. It has no unnamed files (O_TMPFILE), as FUSE has none.
// Needs root and /dev/fuse.
#pragma once

#include <QProcess>
#include <QTemporaryDir>

class SlowDisk
{
public:
    ~SlowDisk();
    // False, with the reason, where FUSE or the script's module is missing.
    bool mount(QString *error);
    // Seconds each open and each read of a file under path() sleeps from now on.
    void setDelays(double open, double read);
    // Seconds each fsync sleeps from now on; the other delays stay.
    void setFsyncDelay(double seconds);
    // A file as the program sees it, through the slow disk.
    QString path(const QString &name) const;
    // The same file written directly, at the speed of the disk beneath.
    QString source(const QString &name) const;

private:
    QTemporaryDir m_dir;
    QProcess m_fs;
    bool m_mounted = false;
    double m_open = 0, m_read = 0, m_fsync = 0;
    void writeDelays();
};
