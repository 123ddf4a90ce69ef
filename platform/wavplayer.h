// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The program's SoundPlayer: sound files decoded with libsndfile, played into the
// desktop's sound server through its own client library.
#pragma once

#include "soundplayer.h"

#include <QObject>
#include <memory>

class PulseOutput;

class WavPlayer final : public QObject, public SoundPlayer
{
    Q_OBJECT
public:
    explicit WavPlayer(QObject *parent);
    ~WavPlayer() override;

    void play(const QString &path) override;

    // True while a sound is asked for or a stream to the sound server is open.
    bool isPlaying() const;

private:
    std::unique_ptr<PulseOutput> m_output;
};
