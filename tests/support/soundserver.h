// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// A private sound server with one null sink, for recording what the program plays:
// PulseAudio, or PipeWire with pipewire-pulse and wireplumber on a session bus of its own.
// Each runs in its own runtime directory, also as root and with no desktop session.
#pragma once

#include <QProcess>
#include <QTemporaryDir>

#include <memory>
#include <vector>

class SoundServer
{
public:
    enum class Kind { PulseAudio, PipeWire };
    // The kind named by TOLLWICK_TEST_SOUND_SERVER ("pipewire"), PulseAudio otherwise.
    static Kind kindFromEnvironment();

    explicit SoundServer(Kind kind);
    ~SoundServer();
    // Starts the server, or starts it again after kill(), at the same address, and points
    // this process's sound clients (PULSE_SERVER) at it. Returns once a client can play
    // into the null sink as the default output.
    bool start(QString *error);
    // Ends the server at once, as a crash would.
    void kill();
    void stop();

    Kind kind() const { return m_kind; }
    QString address() const; // for PULSE_SERVER
    // Runs pactl against this server; false when it fails.
    bool pactl(const QStringList &arguments, QByteArray *output = nullptr) const;
    // Holds every new stream back from the output, or lets them go: PulseAudio suspends
    // the sink (a slow-waking output; PipeWire would wake it for the next stream), and
    // PipeWire's session manager is stopped, so that no stream is linked to an output.
    bool holdOutput(bool hold);
    // Mutes or unmutes every stream of a media role as a desktop's sound settings do: an
    // entry "sink-input-by-media-role:ROLE" written through the stream-restore extension.
    bool setRoleMuted(const QByteArray &role, bool muted) const;
    static QString sink() { return QStringLiteral("tollwick_test"); }
    // Starts parec recording sink's monitor on this server as 48 kHz mono 16-bit samples,
    // asking the server for latencyMs between samples and their delivery.
    void startRecording(QProcess &parec, const QString &sink, int latencyMs) const;

private:
    QProcess *launch(const QString &program, const QStringList &arguments);
    bool waitUntilServing(QString *error);

    Kind m_kind;
    QTemporaryDir m_dir;
    QProcessEnvironment m_env;
    std::unique_ptr<QProcess> m_bus; // PipeWire only; outlives restarts
    std::vector<std::unique_ptr<QProcess>> m_server;
};

// Records a sink's monitor as 48 kHz mono 16-bit samples while it runs.
class MonitorRecorder
{
public:
    explicit MonitorRecorder(const SoundServer &server, const QString &sink = SoundServer::sink());
    ~MonitorRecorder();
    // Returns once samples arrive, or without waitForSamples once the server lists the
    // recording (only when it is the one recording on that server).
    bool start(bool waitForSamples = true);
    // How much has been recorded so far, in ms of the recording: where the next sound will
    // be found. An output that sleeps records nothing meanwhile.
    double recordedMs();
    // Stops and returns the samples recorded.
    QList<qint16> stop();

private:
    const SoundServer &m_server;
    QString m_sink;
    QProcess m_parec;
    QByteArray m_recorded;
};
