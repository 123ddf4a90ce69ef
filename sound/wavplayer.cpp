// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The window's side of the player: every call hands over to the sound code's own threads
// and returns, so the window never waits on a disk or the sound server.
#include "wavplayer.h"

#include "pulseoutput.h"

WavPlayer::WavPlayer(QObject *parent)
    : QObject(parent)
    , m_output(std::make_unique<PulseOutput>())
{
}

WavPlayer::~WavPlayer()
{
    // A sound thread stuck in a connection that reads a hung home folder still uses the
    // output: it is left to it rather than waited for, as the process is ending or the
    // thread will let go of the connection by itself once the folder answers.
    if (!m_output->close())
        (void)m_output.release();
}

bool WavPlayer::isPlaying() const
{
    return m_output->isPlaying();
}

void WavPlayer::play(const QString &path)
{
    m_output->play(path);
}

void WavPlayer::dropPending()
{
    m_output->dropPending();
}

// Here rather than with the other classes' moc code, so a program that never uses the
// player links none of the sound code.
#include "moc_wavplayer.cpp"
