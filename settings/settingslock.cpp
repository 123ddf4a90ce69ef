// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// QLockFile with its stale time at 0 tells a lock left behind only from the process and
// boot it names, and only for a lock of this computer. The lock file is read here as well,
// so that one that names no process, or names one on another computer, is taken over by
// its age; the removal itself is Qt's, which a live holder's kernel lock stops.
#include "settingslock.h"

#include "settingsfile.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QFile>
#include <QSysInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

// What a lock file says of the copy that made it.
struct Holder {
    bool named = false; // its process, program and host lines are whole
    qint64 pid = 0;
    QString program;
    QString host;
    qint64 ageMs = 0; // by this computer's clock; below 0 when stamped in the future
    dev_t device = 0;
    ino_t inode = 0;

    bool sameFile(const Holder &other) const
    {
        return device == other.device && inode == other.inode;
    }
};

// Nothing when the file is gone.
std::optional<Holder> readHolder(const QString &path)
{
    struct stat st {
    };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return std::nullopt;
    Holder holder;
    holder.device = st.st_dev;
    holder.inode = st.st_ino;
    holder.ageMs = QDateTime::currentMSecsSinceEpoch()
        - (qint64(st.st_mtim.tv_sec) * 1000 + st.st_mtim.tv_nsec / 1000000);
    QFile file(path);
    // Unreadable reads as empty: it names no process.
    const QByteArray text = file.open(QIODevice::ReadOnly) ? file.read(4096) : QByteArray();
    // Qt writes "pid\nprogram\nhost\nmachine id\nboot id\n" in one write; a lock is whole
    // as far as the host's line break.
    const QList<QByteArray> lines = text.split('\n');
    bool ok = false;
    holder.pid = lines.first().toLongLong(&ok);
    holder.named = ok && holder.pid > 0 && lines.size() >= 4;
    if (holder.named) {
        holder.program = QString::fromUtf8(lines[1]);
        holder.host = QString::fromUtf8(lines[2]);
    }
    return holder;
}

// How old a lock must be before it is taken over by its age; 0 where Qt's own rules, by
// the process and boot it names, are the only ones.
qint64 staleAfterMs(const Holder &holder)
{
    if (!holder.named)
        return SettingsLock::kNamelessStaleMs;
    // Qt reads an empty host as this computer's, as Qt 5.9 and older wrote no machine ids.
    if (holder.host.isEmpty() || holder.host == QSysInfo::machineHostName())
        return 0;
    return SettingsLock::kForeignStaleMs;
}

// Qt removes a lock only after it has opened it for writing and locked it in the kernel;
// a nameless lock that cannot be opened at all (its mode, its owner) can hold no kernel
// lock of ours either, and is removed by its name.
bool removeUnopenable(const QString &path, const Holder &holder)
{
    if (holder.named)
        return false;
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return false;
    }
    return (errno == EACCES || errno == EPERM) && ::unlink(name.constData()) == 0;
}

} // namespace

SettingsLock::SettingsLock(const QString &settingsPath)
    : m_lock(settingsPath + QStringLiteral(".lock"))
{
    // Never taken over by its age alone, unlike Qt's default of 30 s: a live copy may hold
    // the lock that long on a hung network disk, and a server clock that is off ages a new
    // lock. The lock of a copy that has died is still taken over, by its process id, and
    // one that names no process or another computer by the ages above.
    m_lock.setStaleLockTime(0);
}

SettingsLock::Result SettingsLock::lock(int waitMs, QString *error)
{
    const QDeadlineTimer deadline(waitMs);
    // Short at first, as most holders let go within a save's few milliseconds; then no
    // more than a few tries a second for one that holds on.
    int pauseMs = 10;
    for (;;) {
        errno = 0;
        if (m_lock.tryLock(0))
            return Result::Locked;
        const int code = errno;
        if (m_lock.error() != QLockFile::LockFailedError) {
            // QLockFile does not say why; errno does. A full disk or quota stops the write
            // of the lock's few bytes, anything else its creation.
            const bool full = code == ENOSPC || code == EDQUOT;
            *error = QStringLiteral("%1, %2: %3")
                         .arg(m_lock.fileName(),
                              full ? QStringLiteral("writing") : QStringLiteral("creating"),
                              QString::fromLocal8Bit(std::strerror(code)));
            return Result::Failed;
        }
        if (takeOverIfLeft())
            continue;
        const qint64 left = deadline.remainingTime();
        if (left <= 0) {
            qint64 pid = 0;
            QString host;
            *error = QStringLiteral("another copy holds ") + m_lock.fileName();
            if (m_lock.getLockInfo(&pid, &host, nullptr))
                *error += QStringLiteral(" (process %1 on %2)").arg(pid).arg(host);
            return Result::Held;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(qMin<qint64>(pauseMs, left)));
        pauseMs = qMin(pauseMs * 2, 500);
    }
}

bool SettingsLock::takeOverIfLeft()
{
    const QString path = m_lock.fileName();
    const std::optional<Holder> holder = readHolder(path);
    if (!holder)
        return false; // let go just now: the next try takes it
    const qint64 staleMs = staleAfterMs(*holder);
    if (staleMs == 0 || holder->ageMs < staleMs)
        return false;
    // Two copies that both find the lock left must not both remove it: the second would
    // remove the lock the first has made since. Qt's own name for this, so that copies
    // taking a lock over by Qt's rules keep out of the way as well.
    QLockFile removal(path + QStringLiteral(".rmlock"));
    if (!removal.tryLock(0))
        return false;
    const std::optional<Holder> again = readHolder(path);
    if (!again || !again->sameFile(*holder) || again->named != holder->named
        || again->pid != holder->pid)
        return false;
    // Fails where the file system keeps kernel locks and a live copy holds one on the file:
    // a copy that has only just made its lock, or a live one on another computer.
    if (!m_lock.removeStaleLockFile() && !removeUnopenable(path, *holder))
        return false;
    if (holder->named)
        qCWarning(lcSettings).noquote()
            << QStringLiteral("taking over %1 of process %2 (%3) on %4, left %5 s ago: no "
                              "save holds it that long")
                   .arg(path)
                   .arg(holder->pid)
                   .arg(holder->program, holder->host)
                   .arg(holder->ageMs / 1000);
    else
        qCWarning(lcSettings).noquote()
            << QStringLiteral("taking over %1, which names no process, left %2 s ago")
                   .arg(path)
                   .arg(holder->ageMs / 1000);
    return true;
}
