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
    // Returns at once, also while a file's read is stuck in its disk, and within a quarter
    // of a second while a connection is stuck reading the home folder.
    ~WavPlayer() override;

    void play(const QString &path) override;
    void dropPending() override;

    // True from play() until that sound is done or dropped; never waits for the disk or
    // the server.
    bool isPlaying() const;

private:
    std::unique_ptr<PulseOutput> m_output;
};
