// The program's SoundPlayer: WAV files decoded with libsndfile, played through Qt's
// audio output into the desktop's sound server.
#pragma once

#include "soundplayer.h"

#include <QLibrary>
#include <QObject>
#include <memory>

class SoundBackend;

class WavPlayer final : public QObject, public SoundPlayer
{
    Q_OBJECT
public:
    explicit WavPlayer(QObject *parent);
    ~WavPlayer() override;

    // Loads the sound module at the first call; without it every play stays silent.
    void play(const QString &path) override;

    // True while a stream to the sound server is open.
    bool isPlaying() const;

Q_SIGNALS:
    // Emitted for every play request, also for one that stays silent.
    void requested(const QString &path);

private:
    bool loadBackend();

    QLibrary m_module;
    std::unique_ptr<SoundBackend> m_backend;
    bool m_triedLoading = false;
};
