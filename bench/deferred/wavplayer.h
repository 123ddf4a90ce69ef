// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// Stands in for the real WavPlayer in the start-up comparison only: the sound code and
// its libraries (libpulse, libsndfile) are loaded at the first play instead of linked, so
// start-up shows what loading them late would save.
#pragma once

#include "soundplayer.h"

#include <QLibrary>
#include <QObject>

#include <memory>

class WavPlayer final : public SoundPlayer
{
public:
    explicit WavPlayer(QObject *) { }
    void play(const QString &path) override
    {
        if (!m_real) {
            QLibrary module(QStringLiteral(TOLLWICK_BENCH_SOUND_MODULE));
            using Create = SoundPlayer *(*)();
            if (const auto create = reinterpret_cast<Create>(module.resolve("create_player")))
                m_real.reset(create());
        }
        if (m_real)
            m_real->play(path);
    }

private:
    std::unique_ptr<SoundPlayer> m_real;
};
