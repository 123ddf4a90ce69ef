// QSoundEffect is not used: it refuses ADPCM, µ-law, A-law, float and extensible files,
// cuts the last tenth of a second, replays a fragment of the previous sound after a new
// source, and blocks on a truncated file. Here libsndfile decodes whatever it can, the
// samples are pulled as they are needed, and the stream is closed once the sound has
// been heard to its end, so no stream stays open while nothing plays.
#include "soundbackend.h"

#include <QAudioFormat>
#include <QAudioSink>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QMediaDevices>

#include <sndfile.h>

#include <cstring>

// Decoded frames as 32-bit float, followed by silence: Qt closes the server stream at
// once when asked to stop, dropping what the server still buffers, so the stream is
// stopped only after enough silence to push the last real samples through.
class SoundStream final : public QIODevice
{
public:
    static constexpr int kTailMs = 400;

    SoundStream(SNDFILE *file, const SF_INFO &info, QObject *parent)
        : QIODevice(parent)
        , m_file(file)
        , m_channels(info.channels)
        , m_tailBytes(qint64(info.samplerate) * info.channels * sizeof(float) * kTailMs / 1000)
    {
    }
    ~SoundStream() override { sf_close(m_file); }

    bool isSequential() const override { return true; }
    bool atEnd() const override { return m_decodedAll && m_tailBytes == 0; }
    qint64 bytesAvailable() const override
    {
        return atEnd() ? 0 : 65536 + QIODevice::bytesAvailable();
    }

protected:
    qint64 readData(char *data, qint64 maxSize) override
    {
        const qint64 frameBytes = m_channels * qint64(sizeof(float));
        qint64 done = 0;
        if (!m_decodedAll) {
            const sf_count_t frames = maxSize / frameBytes;
            const sf_count_t got =
                frames > 0 ? sf_readf_float(m_file, reinterpret_cast<float *>(data), frames) : 0;
            done = got * frameBytes;
            if (got < frames)
                m_decodedAll = true;
        }
        if (m_decodedAll && done < maxSize) {
            const qint64 silence = qMin(m_tailBytes, (maxSize - done) / frameBytes * frameBytes);
            std::memset(data + done, 0, size_t(silence));
            m_tailBytes -= silence;
            done += silence;
        }
        return done;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    SNDFILE *m_file;
    int m_channels;
    qint64 m_tailBytes;
    bool m_decodedAll = false;
};

namespace {

class QtSoundBackend final : public QObject, public SoundBackend
{
public:
    ~QtSoundBackend() override { stopCurrent(); }
    void play(const QString &path) override;
    bool isPlaying() const override { return m_sink != nullptr; }

private:
    void stopCurrent();
    void onStateChanged();

    QAudioSink *m_sink = nullptr;
    SoundStream *m_stream = nullptr;
};

void QtSoundBackend::stopCurrent()
{
    if (!m_sink)
        return;
    QAudioSink *sink = std::exchange(m_sink, nullptr);
    SoundStream *stream = std::exchange(m_stream, nullptr);
    sink->disconnect(this);
    sink->stop();
    // Deleted later: this may run inside the sink's own signal.
    sink->deleteLater();
    stream->deleteLater();
}

void QtSoundBackend::play(const QString &path)
{
    stopCurrent();
    // sf_open on a FIFO or a device would block the window; only plain files are tried.
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return;
    SF_INFO info = {};
    SNDFILE *file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!file)
        return;
    if (info.channels <= 0 || info.channels > 32 || info.samplerate <= 0 || info.frames <= 0) {
        sf_close(file);
        return;
    }
    // Decoded float is scaled to [-1, 1] whatever the encoding in the file.
    sf_command(file, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);

    QAudioFormat format;
    format.setSampleRate(info.samplerate);
    format.setChannelCount(info.channels);
    format.setSampleFormat(QAudioFormat::Float);

    auto *stream = new SoundStream(file, info, this);
    stream->open(QIODevice::ReadOnly);
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (device.isNull()) {
        delete stream;
        return;
    }
    m_stream = stream;
    m_sink = new QAudioSink(device, format, this);
    connect(m_sink, &QAudioSink::stateChanged, this, &QtSoundBackend::onStateChanged);
    m_sink->start(m_stream);
    if (m_sink->state() == QAudio::StoppedState)
        stopCurrent();
}

void QtSoundBackend::onStateChanged()
{
    if (!m_sink)
        return;
    const QAudio::State state = m_sink->state();
    if (state == QAudio::StoppedState || (state == QAudio::IdleState && m_stream->atEnd()))
        stopCurrent();
}

} // namespace

extern "C" Q_DECL_EXPORT SoundBackend *tollwick_create_sound_backend()
{
    return new QtSoundBackend;
}
