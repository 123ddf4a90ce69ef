// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// Replacing a file's content so that a failure at any point leaves the old file as it was.
#pragma once

#include <QByteArrayView>
#include <QString>

#include <functional>

// Replaces the file at path with the text that produce gives: it calls write for each
// piece, in order, and returns false as soon as write does (a write failed). A symbolic
// link is followed and stays a link; the file it names is replaced. The new file keeps the
// old one's mode, and its owner and group where the process may set them; a new file gets
// 0666 less the umask. Creates the folder when it is missing.
//
// Every write is checked and the data reaches the disk (fsync) before the new file takes
// the old one's name (rename), so the file holds either its old or its complete new
// bytes. On failure (a full disk or quota, a read-only file or file system, an I/O error,
// a path that is no regular file) the old file is untouched, no file is created where
// none was, and false is returned with the reason in error.
//
// The new text is written into an unnamed file (O_TMPFILE), so a process killed while
// writing leaves nothing behind. Where the file system lacks unnamed files (FUSE, NFS) or
// /proc is not mounted (an unnamed file is named through it), the new text goes into a
// hidden ".<name>.<pid>.<random>.saving" beside the file, a name no other replacement
// uses, removed on every failure. A kill while it is written, or in the instant between
// naming the new file and renaming it, leaves that file; a later replacement removes it
// once its process has ended, and never touches the file of a process that lives.
using ContentWriter = std::function<bool(QByteArrayView)>;
bool replaceFileAtomically(const QString &path,
                           const std::function<bool(const ContentWriter &write)> &produce,
                           QString *error);
