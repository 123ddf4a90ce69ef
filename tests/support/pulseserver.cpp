// The server runs in the foreground as the test's child and is ended by the test.
#include "pulseserver.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QThread>

PulseServer::~PulseServer()
{
    stop();
}

QString PulseServer::address() const
{
    return QStringLiteral("unix:") + m_dir.filePath(QStringLiteral("native"));
}

bool PulseServer::start(QString *error)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), m_dir.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_dir.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_dir.filePath(QStringLiteral("config")));
    env.remove(QStringLiteral("PULSE_SERVER"));
    m_server.setProcessEnvironment(env);
    m_server.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_server.start(QStringLiteral("pulseaudio"),
                   {QStringLiteral("--daemonize=no"), QStringLiteral("--exit-idle-time=-1"),
                    QStringLiteral("-n"), QStringLiteral("--use-pid-file=no"),
                    QStringLiteral("--log-level=error"),
                    QStringLiteral("--load=module-null-sink sink_name=tollwick_test rate=48000"),
                    QStringLiteral("--load=module-native-protocol-unix auth-anonymous=1 socket=")
                        + m_dir.filePath(QStringLiteral("native"))});
    if (!m_server.waitForStarted(5000)) {
        *error = QStringLiteral("pulseaudio did not start: ") + m_server.errorString();
        return false;
    }
    const QDeadlineTimer deadline(10000);
    while (!QFile::exists(m_dir.filePath(QStringLiteral("native")))) {
        if (deadline.hasExpired() || m_server.state() != QProcess::Running) {
            *error = QStringLiteral("pulseaudio made no socket");
            stop();
            return false;
        }
        QThread::msleep(20);
    }
    qputenv("PULSE_SERVER", address().toLocal8Bit());
    return true;
}

void PulseServer::stop()
{
    if (m_server.state() == QProcess::NotRunning)
        return;
    m_server.terminate();
    if (!m_server.waitForFinished(3000)) {
        m_server.kill();
        m_server.waitForFinished(3000);
    }
}

MonitorRecorder::MonitorRecorder(const PulseServer &server)
    : m_server(server)
{
}

MonitorRecorder::~MonitorRecorder()
{
    if (m_parec.state() != QProcess::NotRunning) {
        m_parec.kill();
        m_parec.waitForFinished(3000);
    }
}

bool MonitorRecorder::start()
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("PULSE_SERVER"), m_server.address());
    m_parec.setProcessEnvironment(env);
    m_parec.start(QStringLiteral("parec"),
                  {QStringLiteral("--device=") + PulseServer::monitor(), QStringLiteral("--raw"),
                   QStringLiteral("--format=s16le"), QStringLiteral("--rate=48000"),
                   QStringLiteral("--channels=1"), QStringLiteral("--latency-msec=10")});
    if (!m_parec.waitForStarted(5000))
        return false;
    // The stream takes a while to connect; recording is live once samples arrive.
    const QDeadlineTimer deadline(10000);
    while (m_recorded.size() < 4800 && !deadline.hasExpired()) {
        if (!m_parec.waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
            break;
        m_recorded += m_parec.readAllStandardOutput();
    }
    return m_recorded.size() >= 4800;
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
