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
    // Returns at once, also while a file's read is stuck in its disk.
    ~WavPlayer() override;

    void play(const QString &path) override;
    void dropPending() override;

    // True while a sound is asked for or a stream to the sound server is open; never
    // waits for the disk or the server.
    bool isPlaying() const;

private:
    std::unique_ptr<PulseOutput> m_output;
};
