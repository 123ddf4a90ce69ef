// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// How the bytes of a settings file become the UTF-8 text the INI reader works on.
#pragma once

#include <QByteArray>

// The file's text as UTF-8, its line ends left as they are:
// - a UTF-16 LE or BE file (told by its byte order mark) is converted as a whole;
// - a UTF-8 byte order mark is dropped;
// - otherwise each line is taken as UTF-8 when it is valid UTF-8, else converted from
//   code page 932 when it is valid there, else kept as its own bytes, so that a line in
//   neither encoding (a Latin-1 comment, say) is written back exactly as it came.
// Never fails.
QByteArray decodeProfileBytes(const QByteArray &bytes);
