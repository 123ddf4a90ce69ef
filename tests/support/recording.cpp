// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
#include "recording.h"

#include <cstdlib>

namespace {

constexpr int kWindow = kRecordRate / 200; // 5 ms

qsizetype sampleAt(double ms)
{
    return qsizetype(ms * kRecordRate / 1000.0);
}

} // namespace

QList<Burst> findBursts(const QList<qint16> &samples, int threshold, double gapMs)
{
    QList<Burst> bursts;
    bool inBurst = false;
    double lastLoud = -1e9;
    for (qsizetype start = 0; start + kWindow <= samples.size(); start += kWindow) {
        const double ms = start * 1000.0 / kRecordRate;
        if (peakIn(samples, ms, ms + 5) < threshold)
            continue;
        if (!inBurst || ms - lastLoud > gapMs) {
            bursts.append(Burst {ms, ms + 5});
            inBurst = true;
        }
        bursts.last().endMs = ms + 5;
        lastLoud = ms;
    }
    return bursts;
}

int peakIn(const QList<qint16> &samples, double fromMs, double toMs)
{
    int peak = 0;
    for (qsizetype i = qMax<qsizetype>(0, sampleAt(fromMs));
         i < qMin(samples.size(), sampleAt(toMs)); ++i)
        peak = qMax(peak, std::abs(int(samples[i])));
    return peak;
}

double crossingRate(const QList<qint16> &samples, double fromMs, double toMs)
{
    const qsizetype from = qMax<qsizetype>(1, sampleAt(fromMs));
    const qsizetype to = qMin(samples.size(), sampleAt(toMs));
    if (to <= from)
        return 0;
    int crossings = 0;
    for (qsizetype i = from; i < to; ++i) {
        if ((samples[i - 1] < 0) != (samples[i] < 0))
            ++crossings;
    }
    return crossings * 1000.0 / ((to - from) * 1000.0 / kRecordRate);
}

double firstWindowAt(const QList<qint16> &samples, double hz, double fromMs, double toMs)
{
    for (double ms = fromMs; ms + 10 <= toMs; ms += 10) {
        const double rate = crossingRate(samples, ms, ms + 10);
        if (rate >= 2 * hz * 0.8 && rate <= 2 * hz * 1.2)
            return ms;
    }
    return -1;
}
