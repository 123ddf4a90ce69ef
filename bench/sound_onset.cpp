// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// Onset: from the play call to the first sample of the sound arriving in a recording of
// the sink's monitor, for WavPlayer and for paplay of the same file started from here,
// alternating, in one run against a private server. Both figures include the same
// recording latency. Usage: sound_onset [pulseaudio|pipewire] [plays]
#include "soundserver.h"
#include "wavplayer.h"
#include "wavwriter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sndfile.h>

#include <algorithm>
#include <cstdlib>
#include <functional>

Q_LOGGING_CATEGORY(lcOnset, "tollwick.bench.onset")

namespace {

constexpr int kLoud = 800;

// Reads the recording as it comes and notes when the first loud sample arrives.
class OnsetWatch
{
public:
    explicit OnsetWatch(QProcess &parec)
        : m_parec(parec)
    {
        QObject::connect(&parec, &QProcess::readyReadStandardOutput, &parec, [this] { read(); });
    }
    void arm(const QElapsedTimer &clock)
    {
        m_clock = &clock;
        m_calledNs = clock.nsecsElapsed();
        m_onsetNs = -1;
    }
    double onsetMs() const { return m_onsetNs < 0 ? -1 : (m_onsetNs - m_calledNs) / 1e6; }

private:
    void read()
    {
        m_pending += m_parec.readAllStandardOutput();
        const qsizetype whole = m_pending.size() / 2 * 2;
        const auto *samples = reinterpret_cast<const qint16 *>(m_pending.constData());
        for (qsizetype i = 0; i < whole / 2 && m_clock && m_onsetNs < 0; ++i) {
            if (std::abs(int(samples[i])) >= kLoud)
                m_onsetNs = m_clock->nsecsElapsed();
        }
        m_pending.remove(0, whole);
    }

    QProcess &m_parec;
    QByteArray m_pending;
    const QElapsedTimer *m_clock = nullptr;
    qint64 m_calledNs = 0;
    qint64 m_onsetNs = -1;
};

void printFigures(const char *what, std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    const auto heard = std::count_if(ms.begin(), ms.end(), [](double v) { return v >= 0; });
    ms.erase(ms.begin(), ms.end() - heard);
    if (ms.empty()) {
        qCInfo(lcOnset, "%-10s never heard", what);
        return;
    }
    qCInfo(lcOnset, "%-10s onset median %6.1f ms  min %6.1f  max %6.1f  (%lld of %lld heard)", what,
           ms[ms.size() / 2], ms.front(), ms.back(), static_cast<long long>(heard),
           static_cast<long long>(ms.size() + 0));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    qSetMessagePattern(QStringLiteral("%{message}"));
    const bool pipewire = argc > 1 && qstrcmp(argv[1], "pipewire") == 0;
    const int plays = argc > 2 ? std::atoi(argv[2]) : 20;
    SoundServer server(pipewire ? SoundServer::Kind::PipeWire : SoundServer::Kind::PulseAudio);
    QString error;
    if (!server.start(&error)) {
        qCWarning(lcOnset) << error;
        return 1;
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("onset.wav"));
    if (!writeTone(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0.3, 1000))
        return 1;

    QProcess parec;
    server.startRecording(parec, SoundServer::sink(), 5);
    OnsetWatch watch(parec);
    QTest::qWait(3000); // past the idle sink's first long block

    WavPlayer player(&app);
    QElapsedTimer clock;
    clock.start();
    std::vector<double> ours, paplay;
    const auto measure = [&](const std::function<void()> &start) {
        watch.arm(clock);
        start();
        QTest::qWait(1000);
        return watch.onsetMs();
    };
    for (int i = 0; i < plays; ++i) {
        ours.push_back(measure([&] { player.play(path); }));
        QProcess paplayProcess; // started with this process's PULSE_SERVER, as ours is
        paplay.push_back(measure([&] { paplayProcess.start(QStringLiteral("paplay"), {path}); }));
        paplayProcess.waitForFinished(3000);
    }
    qCInfo(lcOnset, "%s, %d plays each, alternating:", pipewire ? "PipeWire" : "PulseAudio", plays);
    printFigures("Tollwick", ours);
    printFigures("paplay", paplay);
    parec.kill();
    parec.waitForFinished(3000);
    return 0;
}
