// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
#include "wavwriter.h"

#include <QFile>

#include <sndfile.h>

#include <cmath>
#include <vector>

bool writeTone(const QString &path, int format, double seconds, double hz, int rate, int channels)
{
    SF_INFO info = {};
    info.samplerate = rate;
    info.channels = channels;
    info.format = format;
    SNDFILE *file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (!file)
        return false;
    const sf_count_t frames = sf_count_t(seconds * rate);
    std::vector<float> data(size_t(frames * channels));
    for (sf_count_t f = 0; f < frames; ++f) {
        const float v = float(0.5 * std::sin(2 * M_PI * hz * double(f) / rate));
        for (int c = 0; c < channels; ++c)
            data[size_t(f * channels + c)] = v;
    }
    const bool ok = sf_writef_float(file, data.data(), frames) == frames;
    sf_close(file);
    return ok;
}
