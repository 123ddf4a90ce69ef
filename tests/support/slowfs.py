#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 Tollwick developers
# SPDX-License-Identifier: MIT
# A pass-through file system that sleeps in chosen operations: a stand-in for a spun-down
# USB disk, a stalled network home or a busy disk. It offers no unnamed temporary files
# (O_TMPFILE), as FUSE does not.
#
# Usage: slowfs.py SOURCE MOUNTPOINT [--delay OP=SECONDS ...] [--control FILE]
# OP is one of open, read, write, fsync, create, rename. The delays can be changed while
# it runs by writing lines "OP=SECONDS" into the control file (outside the mount); it is
# read again before every operation that may sleep.
import argparse
import errno
import os
import sys
import time

from fusepy import FUSE, FuseOSError, Operations


class Slow(Operations):
    def __init__(self, root, delays, control):
        self.root = root
        self.delays = dict(delays)
        self.control = control

    def _path(self, path):
        return os.path.join(self.root, path.lstrip('/'))

    def _sleep(self, op):
        delays = self.delays
        if self.control and os.path.exists(self.control):
            delays = dict(self.delays)
            with open(self.control) as f:
                for line in f:
                    if '=' in line:
                        key, value = line.strip().split('=', 1)
                        delays[key] = float(value)
        seconds = delays.get(op, 0.0)
        if seconds > 0:
            time.sleep(seconds)

    # --- metadata, never slowed ---
    def access(self, path, mode):
        if not os.access(self._path(path), mode):
            raise FuseOSError(errno.EACCES)

    def getattr(self, path, fh=None):
        st = os.lstat(self._path(path))
        return {key: getattr(st, key) for key in (
            'st_atime', 'st_ctime', 'st_gid', 'st_mode', 'st_mtime', 'st_nlink', 'st_size',
            'st_uid')}

    def readdir(self, path, fh):
        return ['.', '..'] + os.listdir(self._path(path))

    def readlink(self, path):
        return os.readlink(self._path(path))

    def chmod(self, path, mode):
        os.chmod(self._path(path), mode)

    def chown(self, path, uid, gid):
        os.chown(self._path(path), uid, gid)

    def mkdir(self, path, mode):
        os.mkdir(self._path(path), mode)

    def rmdir(self, path):
        os.rmdir(self._path(path))

    def unlink(self, path):
        os.unlink(self._path(path))

    def symlink(self, name, target):
        os.symlink(target, self._path(name))

    def link(self, target, name):
        os.link(self._path(name), self._path(target))

    def rename(self, old, new):
        self._sleep('rename')
        os.rename(self._path(old), self._path(new))

    def truncate(self, path, length, fh=None):
        with open(self._path(path), 'r+') as f:
            f.truncate(length)

    def utimens(self, path, times=None):
        os.utime(self._path(path), times)

    def statfs(self, path):
        st = os.statvfs(self._path(path))
        return {key: getattr(st, key) for key in (
            'f_bavail', 'f_bfree', 'f_blocks', 'f_bsize', 'f_favail', 'f_ffree', 'f_files',
            'f_flag', 'f_frsize', 'f_namemax')}

    # --- data, slowed as asked ---
    def open(self, path, flags):
        self._sleep('open')
        return os.open(self._path(path), flags)

    def create(self, path, mode, fi=None):
        self._sleep('create')
        return os.open(self._path(path), os.O_WRONLY | os.O_CREAT | os.O_EXCL, mode)

    def read(self, path, length, offset, fh):
        self._sleep('read')
        return os.pread(fh, length, offset)

    def write(self, path, data, offset, fh):
        self._sleep('write')
        return os.pwrite(fh, data, offset)

    def flush(self, path, fh):
        return 0

    def fsync(self, path, datasync, fh):
        self._sleep('fsync')
        os.fsync(fh)
        return 0

    def fsyncdir(self, path, datasync, fh):
        self._sleep('fsync')
        return 0

    def release(self, path, fh):
        os.close(fh)
        return 0


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument('source')
    parser.add_argument('mountpoint')
    parser.add_argument('--delay', action='append', default=[])
    parser.add_argument('--control')
    args = parser.parse_args()
    delays = {}
    for item in args.delay:
        op, seconds = item.split('=', 1)
        delays[op] = float(seconds)
    # Threads, so that one sleeping operation does not hold up the others; direct_io keeps
    # the kernel's page cache from answering reads without asking.
    FUSE(Slow(os.path.abspath(args.source), delays, args.control), args.mountpoint,
         foreground=True, nothreads=False, allow_other=True, direct_io=True,
         default_permissions=False)


if __name__ == '__main__':
    sys.exit(main())
