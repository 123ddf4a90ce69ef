// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// How long play() and isPlaying() hold the window's thread, for a file on the local disk
// and for one on a disk that sleeps 3 s in each open and read (slowfs.py; needs root and
// /dev/fuse), and the longest stall of the window's event loop meanwhile. The first play
// of a player, which also starts its sound thread, is shown on its own.
// Usage: sound_playhold [pulseaudio|pipewire] [plays]
#include "slowdisk.h"
#include "soundserver.h"
#include "wavplayer.h"
#include "wavwriter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QTest>
#include <QTimer>

#include <sndfile.h>

#include <algorithm>
#include <cstdlib>

Q_LOGGING_CATEGORY(lcHold, "tollwick.bench.playhold")

namespace {

void printFigures(const char *what, std::vector<double> us)
{
    std::sort(us.begin(), us.end());
    qCInfo(lcHold, "%-24s median %8.1f us  min %8.1f  max %8.1f  (%zu calls)", what,
           us[us.size() / 2], us.front(), us.back(), us.size());
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    qSetMessagePattern(QStringLiteral("%{message}"));
    const bool pipewire = argc > 1 && qstrcmp(argv[1], "pipewire") == 0;
    const int plays = argc > 2 ? std::max(1, std::atoi(argv[2])) : 30;
    SoundServer server(pipewire ? SoundServer::Kind::PipeWire : SoundServer::Kind::PulseAudio);
    QString error;
    if (!server.start(&error)) {
        qCWarning(lcHold) << error;
        return 1;
    }
    SlowDisk slow;
    const bool haveSlow = slow.mount(&error);
    if (!haveSlow)
        qCWarning(lcHold) << error;
    QTemporaryDir dir;
    const QString local = dir.filePath(QStringLiteral("hold.wav"));
    if (!writeTone(local, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0.3, 1000)
        || (haveSlow
            && !writeTone(slow.source(QStringLiteral("hold.wav")), SF_FORMAT_WAV | SF_FORMAT_PCM_16,
                          0.3, 1000)))
        return 1;

    // The event loop's longest gap between ticks of a 10 ms timer.
    QElapsedTimer sinceTick;
    qint64 longestGap = 0;
    QTimer ticker;
    ticker.setInterval(10);
    QObject::connect(&ticker, &QTimer::timeout, &ticker,
                     [&] { longestGap = std::max(longestGap, sinceTick.restart()); });

    WavPlayer player(&app);
    QElapsedTimer clock;
    const auto run = [&](const char *where, const QStringList &paths, int waitMs) {
        std::vector<double> play, asked;
        longestGap = 0;
        sinceTick.start();
        ticker.start();
        for (int i = 0; i < plays; ++i) {
            clock.start();
            player.play(paths[i % paths.size()]);
            play.push_back(clock.nsecsElapsed() / 1e3);
            clock.start();
            player.isPlaying();
            asked.push_back(clock.nsecsElapsed() / 1e3);
            QTest::qWait(waitMs);
        }
        ticker.stop();
        qCInfo(lcHold, "%s, %s:", pipewire ? "PipeWire" : "PulseAudio", where);
        printFigures("  play()", play);
        printFigures("  isPlaying()", asked);
        qCInfo(lcHold, "  longest event loop stall %lld ms", static_cast<long long>(longestGap));
    };
    std::vector<double> first;
    for (int i = 0; i < 10; ++i) {
        WavPlayer fresh(nullptr);
        clock.start();
        fresh.play(local);
        first.push_back(clock.nsecsElapsed() / 1e3);
        QTest::qWait(500);
    }
    printFigures("first play of a player", first);
    player.play(local);
    QTest::qWait(1000);
    run("local disk", {local}, 400);
    if (haveSlow) {
        slow.setDelays(3, 3);
        // Two files in turn, so that each play cuts off the other's open (a play of the
        // file still opening would wait for it), whose reader stays stuck in the disk.
        run("disk sleeping 3 s in each open and read",
            {slow.path(QStringLiteral("hold.wav")), slow.path(QStringLiteral("hold2.wav"))}, 300);
        player.dropPending();
        slow.setDelays(0, 0);
    }
    return 0;
}
