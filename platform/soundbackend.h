// The sound output proper, built as a module of its own and loaded at the first play, so
// that Qt Multimedia, the sound server's client and the decoders cost nothing at start-up.
#pragma once

#include <QString>

class SoundBackend
{
public:
    virtual ~SoundBackend() = default;
    // As SoundPlayer::play.
    virtual void play(const QString &path) = 0;
    virtual bool isPlaying() const = 0;
};

// The one symbol the module exports.
extern "C" {
using CreateSoundBackend = SoundBackend *(*)();
}
#define TOLLWICK_SOUND_BACKEND_SYMBOL "tollwick_create_sound_backend"
