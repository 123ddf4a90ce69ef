// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// Prints the bursts of sound in a raw recording (48 kHz, mono, s16le), one line each:
// "burst <start ms> <length ms>", then "bursts <count>". For the end-to-end suite.
#include "recording.h"

#include <QFile>

#include <cstdio>

int main(int argc, char *argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: audiocheck RECORDING.raw\n");
        return 2;
    }
    QFile file(QString::fromLocal8Bit(argv[1]));
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "audiocheck: cannot read %s\n", argv[1]);
        return 2;
    }
    const QByteArray raw = file.readAll();
    QList<qint16> samples(raw.size() / 2);
    memcpy(samples.data(), raw.constData(), size_t(samples.size()) * 2);
    const QList<Burst> bursts = findBursts(samples);
    for (const Burst &b : bursts)
        std::printf("burst %.0f %.0f\n", b.startMs, b.lengthMs());
    std::printf("bursts %lld\n", static_cast<long long>(bursts.size()));
    return 0;
}
