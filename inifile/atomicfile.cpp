// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// Plain POSIX calls rather than QSaveFile: on Qt 6.4 a write that fails inside
// QSaveFile's buffer flush at commit() still renames the short file over the good one,
// and QSaveFile neither keeps a read-only mode nor avoids a named temporary file.
#include "atomicfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString reason(const char *what, int code)
{
    return QString::fromLatin1(what) + QStringLiteral(": ")
        + QString::fromLocal8Bit(std::strerror(code));
}

// The file a chain of symbolic links ends at, or an empty text for a loop.
QString resolveLinks(const QString &path)
{
    QString current = QFileInfo(path).absoluteFilePath();
    for (int hops = 0; hops < 40; ++hops) {
        const QFileInfo info(current);
        if (!info.isSymLink())
            return current;
        current = info.symLinkTarget();
    }
    return QString();
}

bool writeAll(int fd, QByteArrayView bytes, int *code)
{
    const char *p = bytes.data();
    qsizetype left = bytes.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(qMin<qsizetype>(left, 1 << 30)));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            *code = n < 0 ? errno : ENOSPC;
            return false;
        }
        p += n;
        left -= n;
    }
    return true;
}

// The temporary names of a file: ".<name>.<pid>.<random>.saving" beside it. The process id
// tells a later replacement whether the file may still be in use; the random part keeps
// two replacements in one process, or in two processes with one id in two namespaces,
// apart.
class TemporaryNames
{
public:
    TemporaryNames(const QByteArray &folder, const QByteArray &name)
        : m_prefix(folder + "/." + name + '.' + QByteArray::number(::getpid()) + '.')
    {
    }
    QByteArray next() const
    {
        return m_prefix
            + QByteArray::number(QRandomGenerator::global()->generate(), 16).rightJustified(8, '0')
            + ".saving";
    }

private:
    QByteArray m_prefix;
};

// Removes what replacements of the file left when their process was killed. The file of a
// process that lives is kept: it may be writing it now.
void removeLeftovers(const QByteArray &folder, const QByteArray &name)
{
    DIR *dir = ::opendir(folder.constData());
    if (!dir)
        return;
    const QByteArray prefix = '.' + name + '.';
    // The one name that versions before this one used for every save.
    const QByteArray shared = prefix + "saving";
    while (const dirent *entry = ::readdir(dir)) {
        const QByteArrayView file(entry->d_name);
        if (file == shared) {
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
            continue;
        }
        if (!file.startsWith(prefix) || !file.endsWith(".saving"))
            continue;
        const QByteArrayView rest = file.sliced(prefix.size());
        bool ok = false;
        const qlonglong pid = rest.first(qMax<qsizetype>(rest.indexOf('.'), 0)).toLongLong(&ok);
        if (ok && pid > 0 && ::kill(pid_t(pid), 0) != 0 && errno == ESRCH)
            ::unlinkat(::dirfd(dir), entry->d_name, 0);
    }
    ::closedir(dir);
}

class NewFile
{
public:
    NewFile(QByteArray folder, TemporaryNames names)
        : m_folder(std::move(folder))
        , m_names(std::move(names))
    {
    }
    ~NewFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        if (m_named)
            ::unlink(m_temporary.constData());
    }

    bool open(int *code)
    {
        // Created without a name, so that nothing is left if the process dies while writing.
        // Such a file is named through /proc, so without /proc (a sandbox, a chroot) the
        // new file is named from the start.
        if (::access("/proc/self/fd", X_OK) == 0) {
            m_fd = ::open(m_folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
            if (m_fd >= 0)
                return true;
            // Not offered by every file system: FUSE, NFS and older ones lack it.
            if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL) {
                *code = errno;
                return false;
            }
        }
        for (int tries = 0; tries < kTries && !m_named; ++tries) {
            m_temporary = m_names.next();
            m_fd = ::open(m_temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            m_named = m_fd >= 0;
            *code = errno;
            if (!m_named && errno != EEXIST)
                break;
        }
        return m_named;
    }

    int fd() const { return m_fd; }

    // Gives the written file its temporary name, then closes it.
    bool name(int *code)
    {
        const QByteArray self = "/proc/self/fd/" + QByteArray::number(m_fd);
        for (int tries = 0; tries < kTries && !m_named; ++tries) {
            m_temporary = m_names.next();
            m_named = ::linkat(AT_FDCWD, self.constData(), AT_FDCWD, m_temporary.constData(),
                               AT_SYMLINK_FOLLOW)
                == 0;
            *code = errno;
            if (!m_named && errno != EEXIST)
                break;
        }
        if (!m_named)
            return false;
        const int fd = std::exchange(m_fd, -1);
        if (::close(fd) != 0) {
            *code = errno;
            return false;
        }
        return true;
    }

    bool renameTo(const QByteArray &target, int *code)
    {
        if (::rename(m_temporary.constData(), target.constData()) != 0) {
            *code = errno;
            return false;
        }
        m_named = false;
        return true;
    }

private:
    // A random name that is taken is drawn again; this many taken in a row is no chance.
    static constexpr int kTries = 8;

    QByteArray m_folder;
    TemporaryNames m_names;
    QByteArray m_temporary;
    int m_fd = -1;
    bool m_named = false;
};

void syncFolder(const QByteArray &folder)
{
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    // The new file is in place whatever this says; it only makes the rename last.
    ::fsync(fd);
    ::close(fd);
}

} // namespace

bool replaceFileAtomically(const QString &path,
                           const std::function<bool(const ContentWriter &write)> &produce,
                           QString *error)
{
    const QString resolved = resolveLinks(path);
    if (resolved.isEmpty()) {
        *error = reason("following the links", ELOOP);
        return false;
    }
    const QFileInfo info(resolved);
    if (!QDir().mkpath(info.absolutePath())) {
        *error = QStringLiteral("cannot create the folder %1").arg(info.absolutePath());
        return false;
    }
    const QByteArray target = QFile::encodeName(resolved);
    const QByteArray folder = QFile::encodeName(info.absolutePath());
    const QByteArray name = QFile::encodeName(info.fileName());

    struct stat old {
    };
    const bool existed = ::stat(target.constData(), &old) == 0;
    if (existed && !S_ISREG(old.st_mode)) {
        *error = QStringLiteral("not a regular file");
        return false;
    }
    // A file the process could not open for writing is not replaced either, as an
    // in-place write would fail on it; root may write a 0444 file, and then does.
    if (existed && ::faccessat(AT_FDCWD, target.constData(), W_OK, AT_EACCESS) != 0) {
        *error = reason("the file is not writable", errno);
        return false;
    }
    removeLeftovers(folder, name);

    NewFile file(folder, TemporaryNames(folder, name));
    int code = 0;
    if (!file.open(&code)) {
        *error = reason("creating the new file", code);
        return false;
    }
    if (existed) {
        // Owner first: a change of owner clears the set-id bits that the mode then restores.
        // Where the process may set neither owner nor group, the file is its own, as any
        // new file would be.
        [[maybe_unused]] const bool owned = ::fchown(file.fd(), old.st_uid, old.st_gid) == 0
            || ::fchown(file.fd(), uid_t(-1), old.st_gid) == 0;
        if (::fchmod(file.fd(), old.st_mode & 07777) != 0) {
            *error = reason("setting the mode", errno);
            return false;
        }
    }
    const ContentWriter write = [&](QByteArrayView piece) {
        return writeAll(file.fd(), piece, &code);
    };
    if (!produce(write)) {
        *error = reason("writing", code);
        return false;
    }
    if (::fsync(file.fd()) != 0) {
        *error = reason("flushing to disk", errno);
        return false;
    }
    if (!file.name(&code)) {
        *error = reason("naming the new file", code);
        return false;
    }
    if (!file.renameTo(target, &code)) {
        *error = reason("replacing the file", code);
        return false;
    }
    syncFolder(folder);
    return true;
}
