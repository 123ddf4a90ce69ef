// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The file is opened and its header read on the window's thread, so an unplayable file
// costs the sound server nothing and still cuts off the sound before it.
#include "wavplayer.h"

#include "soundbackend.h"
#include "soundsource.h"

#include <QFileInfo>

WavPlayer::WavPlayer(QObject *parent)
    : QObject(parent)
    , m_output(std::make_unique<PulseOutput>())
{
}

WavPlayer::~WavPlayer() = default;

bool WavPlayer::isPlaying() const
{
    return m_output->isPlaying();
}

void WavPlayer::play(const QString &path)
{
    m_output->play(SoundSource::open(path), QFileInfo(path).fileName());
}

// Here rather than with the other classes' moc code, so a program that never uses the
// player links none of the sound code.
#include "moc_wavplayer.cpp"
