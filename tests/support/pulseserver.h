// A private PulseAudio server with one null sink, for recording what the program plays.
#pragma once

#include <QProcess>
#include <QTemporaryDir>

class PulseServer
{
public:
    ~PulseServer();
    // Starts the server and points this process's sound clients (PULSE_SERVER) at it.
    bool start(QString *error);
    void stop();

    QString address() const; // for PULSE_SERVER
    static QString monitor() { return QStringLiteral("tollwick_test.monitor"); }

private:
    QTemporaryDir m_dir;
    QProcess m_server;
};

// Records the sink's monitor as 48 kHz mono 16-bit samples while it runs.
class MonitorRecorder
{
public:
    explicit MonitorRecorder(const PulseServer &server);
    ~MonitorRecorder();
    bool start();
    // Stops and returns the samples recorded.
    QList<qint16> stop();

private:
    const PulseServer &m_server;
    QProcess m_parec;
    QByteArray m_recorded;
};
