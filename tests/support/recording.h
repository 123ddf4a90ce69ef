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

// The largest sample in [fromMs, toMs), as a magnitude.
int peakIn(const QList<qint16> &samples, double fromMs, double toMs);

// Zero crossings per second in [fromMs, toMs): about twice the pitch of a sine tone.
double crossingRate(const QList<qint16> &samples, double fromMs, double toMs);

// The time in ms of the first 10 ms window within [fromMs, toMs) whose pitch is about hz;
// -1 when there is none.
double firstWindowAt(const QList<qint16> &samples, double hz, double fromMs, double toMs);
