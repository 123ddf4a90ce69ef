// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// Finding the sounds in a recording: bursts of sound, their length and pitch.
#pragma once

#include <QList>

struct Burst {
    double startMs = 0;
    double endMs = 0;
    double lengthMs() const { return endMs - startMs; }
};

constexpr int kRecordRate = 48000;

// Sounds louder than threshold, split where silence lasts longer than gapMs.
QList<Burst> findBursts(const QList<qint16> &samples, int threshold = 800, double gapMs = 40);

// Zero crossings per second in [fromMs, toMs): about twice the pitch of a sine tone.
double crossingRate(const QList<qint16> &samples, double fromMs, double toMs);

// The time in ms at which pitch first moves away from about hz within [fromMs, toMs),
// judged over 10 ms windows; -1 when it never does.
double firstWindowNotAt(const QList<qint16> &samples, double hz, double fromMs, double toMs);
