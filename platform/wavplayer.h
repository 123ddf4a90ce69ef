// SoundPlayer that decodes with libsndfile and plays through Qt's audio output.
#pragma once

#include "soundplayer.h"

#include <QObject>
#include <memory>

class QAudioSink;
class SoundStream;

class WavPlayer final : public QObject, public SoundPlayer
{
    Q_OBJECT
public:
    explicit WavPlayer(QObject *parent);
    ~WavPlayer() override;

    void play(const QString &path) override;

    // True while a stream to the sound server is open.
    bool isPlaying() const { return m_sink != nullptr; }

Q_SIGNALS:
    // Emitted for every play request, also for one that stays silent.
    void requested(const QString &path);
    // Emitted when a sound has played to its end or was cut off and its stream closed.
    void finished();

private:
    void stopCurrent();
    void onStateChanged();

    QAudioSink *m_sink = nullptr;
    SoundStream *m_stream = nullptr;
};
