// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// Test sounds written with libsndfile in the encodings users' files come in.
#pragma once

#include <QString>

// A sine tone; format is a libsndfile SF_FORMAT_* value (major | subtype).
bool writeTone(const QString &path, int format, double seconds, double hz, int rate = 48000,
               int channels = 1);
