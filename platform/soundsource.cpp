// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// Layouts up to 8 channels go to the server as the WAV standard orders them, and the
// server mixes them to the output's layout; beyond 8 there is no standard order, so the
// channels are mixed to stereo here, even ones to the left and odd ones to the right.
#include "soundsource.h"

#include <QFile>
#include <QFileInfo>

#include <sndfile.h>

namespace {
constexpr int kMaxServerLayout = 8;
}

std::unique_ptr<SoundSource> SoundSource::open(const QString &path)
{
    // sf_open on a FIFO or a device would block the window; only plain files are tried.
    if (path.isEmpty() || !QFileInfo(path).isFile())
        return nullptr;
    SF_INFO info = {};
    SNDFILE *file = sf_open(QFile::encodeName(path).constData(), SFM_READ, &info);
    if (!file)
        return nullptr;
    if (info.channels <= 0 || info.frames <= 0 || info.samplerate <= 0
        || uint32_t(info.samplerate) > PA_RATE_MAX) {
        sf_close(file);
        return nullptr;
    }
    // Decoded float is scaled to [-1, 1] whatever the encoding in the file.
    sf_command(file, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
    return std::unique_ptr<SoundSource>(new SoundSource(file, info.channels, info.samplerate));
}

SoundSource::SoundSource(SNDFILE *file, int fileChannels, int rate)
    : m_file(file)
    , m_fileChannels(fileChannels)
{
    m_spec.format = PA_SAMPLE_FLOAT32NE;
    m_spec.rate = uint32_t(rate);
    m_spec.channels = uint8_t(fileChannels > kMaxServerLayout ? 2 : fileChannels);
    pa_channel_map_init_auto(&m_map, m_spec.channels, PA_CHANNEL_MAP_WAVEEX);
}

SoundSource::~SoundSource()
{
    sf_close(m_file);
}

size_t SoundSource::read(float *out, size_t maxFrames)
{
    if (m_fileChannels == m_spec.channels)
        return size_t(sf_readf_float(m_file, out, sf_count_t(maxFrames)));
    m_wide.resize(maxFrames * size_t(m_fileChannels));
    const size_t frames = size_t(sf_readf_float(m_file, m_wide.data(), sf_count_t(maxFrames)));
    const int left = (m_fileChannels + 1) / 2;
    const int right = m_fileChannels / 2;
    for (size_t f = 0; f < frames; ++f) {
        const float *in = m_wide.data() + f * size_t(m_fileChannels);
        float sum[2] = {0, 0};
        for (int c = 0; c < m_fileChannels; ++c)
            sum[c % 2] += in[c];
        out[2 * f] = sum[0] / float(left);
        out[2 * f + 1] = sum[1] / float(right);
    }
    return frames;
}
