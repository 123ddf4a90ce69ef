// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The servers run in the foreground as the test's children and are ended by the test.
// PipeWire as root without a session needs its own XDG_RUNTIME_DIR and a session bus of
// its own (wireplumber will not run without one); pipewire-pulse then serves the PulseAudio
// protocol in that directory, and wireplumber links streams to the default sink.
#include "soundserver.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

#include <QScopeGuard>

#include <pulse/context.h>
#include <pulse/ext-stream-restore.h>
#include <pulse/mainloop.h>

#include <csignal>

SoundServer::Kind SoundServer::kindFromEnvironment()
{
    return qgetenv("TOLLWICK_TEST_SOUND_SERVER") == "pipewire" ? Kind::PipeWire : Kind::PulseAudio;
}

SoundServer::SoundServer(Kind kind)
    : m_kind(kind)
{
    m_env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"PULSE_SERVER", "DBUS_SESSION_BUS_ADDRESS", "DISPLAY",
                             "WAYLAND_DISPLAY", "PIPEWIRE_REMOTE"})
        m_env.remove(QLatin1String(name));
    m_env.insert(QStringLiteral("HOME"), m_dir.path());
    m_env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
    m_env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
    m_env.insert(QStringLiteral("XDG_STATE_HOME"), m_dir.filePath(QStringLiteral("state")));
    m_env.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"),
                 QStringLiteral("unix:path=") + m_dir.filePath(QStringLiteral("bus")));
}

SoundServer::~SoundServer()
{
    stop();
}

QString SoundServer::address() const
{
    return QStringLiteral("unix:") + m_dir.filePath(QStringLiteral("pulse/native"));
}

QProcess *SoundServer::launch(const QString &program, const QStringList &arguments)
{
    auto process = std::make_unique<QProcess>();
    process->setProcessEnvironment(m_env);
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process->setStandardOutputFile(QProcess::nullDevice());
    process->start(program, arguments);
    if (!process->waitForStarted(5000))
        return nullptr;
    m_server.push_back(std::move(process));
    return m_server.back().get();
}

bool SoundServer::start(QString *error)
{
    if (m_kind == Kind::PulseAudio) {
        QDir(m_dir.path()).mkpath(QStringLiteral("pulse"));
        if (!launch(QStringLiteral("pulseaudio"),
                    {QStringLiteral("--daemonize=no"), QStringLiteral("--exit-idle-time=-1"),
                     QStringLiteral("-n"), QStringLiteral("--use-pid-file=no"),
                     QStringLiteral("--log-level=error"),
                     QStringLiteral("--load=module-null-sink sink_name=") + sink()
                         + QStringLiteral(" rate=48000"),
                     QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1 socket=")
                         + m_dir.filePath(QStringLiteral("pulse/native")),
                     // As a desktop's default script loads it: the volumes and mutes of
                     // the sound settings' sliders live there.
                     QStringLiteral("--load=module-stream-restore")})) {
            *error = QStringLiteral("pulseaudio did not start");
            return false;
        }
    } else {
        if (!m_bus) {
            m_bus = std::make_unique<QProcess>();
            m_bus->setProcessEnvironment(m_env);
            m_bus->setProcessChannelMode(QProcess::ForwardedErrorChannel);
            m_bus->start(QStringLiteral("dbus-daemon"),
                         {QStringLiteral("--session"), QStringLiteral("--nofork"),
                          QStringLiteral("--nosyslog"),
                          QStringLiteral("--address=")
                              + m_env.value(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"))});
            const QDeadlineTimer deadline(5000);
            while (!QFile::exists(m_dir.filePath(QStringLiteral("bus"))) && !deadline.hasExpired())
                QThread::msleep(10);
        }
        // pipewire-pulse and wireplumber give up when the daemon does not answer yet.
        const QString socket = m_dir.filePath(QStringLiteral("pipewire-0"));
        QFile::remove(socket); // left over by a kill
        if (!launch(QStringLiteral("pipewire"), {})) {
            *error = QStringLiteral("pipewire did not start");
            return false;
        }
        const QDeadlineTimer deadline(5000);
        while (!QFile::exists(socket) && !deadline.hasExpired())
            QThread::msleep(10);
        if (!launch(QStringLiteral("wireplumber"), {})
            || !launch(QStringLiteral("pipewire-pulse"), {})) {
            *error = QStringLiteral("wireplumber or pipewire-pulse did not start");
            stop();
            return false;
        }
    }
    qputenv("PULSE_SERVER", address().toLocal8Bit());
    return waitUntilServing(error);
}

bool SoundServer::waitUntilServing(QString *error)
{
    const QDeadlineTimer deadline(20000);
    bool sinkLoaded = m_kind == Kind::PulseAudio;
    QByteArray defaultSink;
    while (!deadline.hasExpired()) {
        for (const auto &process : m_server) {
            if (process->state() != QProcess::Running) {
                *error = process->program() + QStringLiteral(" ended");
                stop();
                return false;
            }
        }
        // pipewire-pulse keeps no modules over a restart: the sink is loaded each time.
        if (!sinkLoaded)
            sinkLoaded =
                pactl({QStringLiteral("load-module"), QStringLiteral("module-null-sink"),
                       QStringLiteral("sink_name=") + sink(), QStringLiteral("rate=48000")});
        if (sinkLoaded && pactl({QStringLiteral("get-default-sink")}, &defaultSink)
            && defaultSink.trimmed() == sink().toUtf8())
            return true;
        if (sinkLoaded && !defaultSink.isEmpty())
            pactl({QStringLiteral("set-default-sink"), sink()});
        QThread::msleep(50);
    }
    *error = QStringLiteral("the sound server did not come up with its sink");
    stop();
    return false;
}

bool SoundServer::pactl(const QStringList &arguments, QByteArray *output) const
{
    QProcess process;
    QProcessEnvironment env = m_env;
    env.insert(QStringLiteral("PULSE_SERVER"), address());
    process.setProcessEnvironment(env);
    process.start(QStringLiteral("pactl"), arguments);
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(1000);
        return false;
    }
    if (output)
        *output = process.readAllStandardOutput();
    return process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

bool SoundServer::holdOutput(bool hold)
{
    if (m_kind == Kind::PulseAudio)
        return pactl({QStringLiteral("suspend-sink"), sink(), hold ? "1" : "0"});
    for (const auto &process : m_server) {
        if (process->program() == QLatin1String("wireplumber"))
            return ::kill(pid_t(process->processId()), hold ? SIGSTOP : SIGCONT) == 0;
    }
    return false;
}

bool SoundServer::setRoleMuted(const QByteArray &role, bool muted) const
{
    pa_mainloop *loop = pa_mainloop_new();
    pa_context *context = pa_context_new(pa_mainloop_get_api(loop), "tollwick-test-settings");
    const auto cleanup = qScopeGuard([&] {
        pa_context_disconnect(context);
        pa_context_unref(context);
        pa_mainloop_free(loop);
    });
    const QByteArray server = address().toLocal8Bit();
    if (pa_context_connect(context, server.constData(), PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0)
        return false;
    const QDeadlineTimer deadline(5000);
    while (pa_context_get_state(context) != PA_CONTEXT_READY) {
        if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context)) || deadline.hasExpired())
            return false;
        pa_mainloop_iterate(loop, 0, nullptr);
        QThread::msleep(1);
    }
    const QByteArray name = "sink-input-by-media-role:" + role;
    pa_ext_stream_restore_info entry = {};
    entry.name = name.constData();
    pa_channel_map_init_mono(&entry.channel_map);
    pa_cvolume_set(&entry.volume, 1, PA_VOLUME_NORM);
    entry.mute = muted;
    struct Result {
        bool done = false;
        bool success = false;
    } result;
    pa_operation *write = pa_ext_stream_restore_write(
        context, PA_UPDATE_REPLACE, &entry, 1, 1,
        [](pa_context *, int success, void *data) {
            *static_cast<Result *>(data) = {true, success != 0};
        },
        &result);
    if (!write)
        return false;
    while (!result.done && !deadline.hasExpired()) {
        pa_mainloop_iterate(loop, 0, nullptr);
        QThread::msleep(1);
    }
    pa_operation_unref(write);
    return result.success;
}

void SoundServer::kill()
{
    // The PulseAudio-protocol server first, so clients see one clean loss.
    for (auto it = m_server.rbegin(); it != m_server.rend(); ++it) {
        (*it)->kill();
        (*it)->waitForFinished(3000);
    }
    m_server.clear();
}

void SoundServer::stop()
{
    for (auto it = m_server.rbegin(); it != m_server.rend(); ++it) {
        (*it)->terminate();
        if (!(*it)->waitForFinished(3000)) {
            (*it)->kill();
            (*it)->waitForFinished(3000);
        }
    }
    m_server.clear();
    if (m_bus) {
        m_bus->terminate();
        m_bus->waitForFinished(3000);
        m_bus.reset();
    }
}

void SoundServer::startRecording(QProcess &parec, const QString &sink, int latencyMs) const
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PULSE_SERVER"), address());
    parec.setProcessEnvironment(env);
    parec.start(QStringLiteral("parec"),
                {QStringLiteral("--device=") + sink + QStringLiteral(".monitor"),
                 QStringLiteral("--raw"), QStringLiteral("--format=s16le"),
                 QStringLiteral("--rate=48000"), QStringLiteral("--channels=1"),
                 QStringLiteral("--latency-msec=%1").arg(latencyMs)});
}

MonitorRecorder::MonitorRecorder(const SoundServer &server, const QString &sink)
    : m_server(server)
    , m_sink(sink)
{
}

MonitorRecorder::~MonitorRecorder()
{
    if (m_parec.state() != QProcess::NotRunning) {
        m_parec.kill();
        m_parec.waitForFinished(3000);
    }
}

bool MonitorRecorder::start(bool waitForSamples)
{
    m_server.startRecording(m_parec, m_sink, 10);
    if (!m_parec.waitForStarted(5000))
        return false;
    if (!waitForSamples) {
        // PulseAudio's idle null sink hands its monitor out in blocks of up to 2 s, so
        // the first samples may come late; what plays from now on is recorded all the same.
        const QDeadlineTimer deadline(10000);
        QByteArray outputs;
        while (!deadline.hasExpired()) {
            if (m_server.pactl({QStringLiteral("list"), QStringLiteral("short"),
                                QStringLiteral("source-outputs")},
                               &outputs)
                && !outputs.trimmed().isEmpty())
                return true;
            QThread::msleep(10);
        }
        return false;
    }
    // The stream takes a while to connect; recording is live once samples arrive.
    const QDeadlineTimer deadline(10000);
    while (m_recorded.size() < 4800 && !deadline.hasExpired()) {
        if (!m_parec.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
            break;
        m_recorded += m_parec.readAllStandardOutput();
    }
    return m_recorded.size() >= 4800;
}

double MonitorRecorder::recordedMs()
{
    m_parec.waitForReadyRead(20);
    m_recorded += m_parec.readAllStandardOutput();
    return m_recorded.size() / 2 * 1000.0 / 48000;
}

QList<qint16> MonitorRecorder::stop()
{
    m_parec.terminate();
    m_parec.waitForFinished(3000);
    const QByteArray raw = m_recorded + m_parec.readAllStandardOutput();
    m_recorded.clear();
    QList<qint16> samples(raw.size() / 2);
    memcpy(samples.data(), raw.constData(), size_t(samples.size()) * 2);
    return samples;
}
