// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// A sound file decoded with libsndfile into 32-bit float frames for the sound server,
// mixed down to stereo when it has more channels than a server takes.
#pragma once

#include <QString>

#include <pulse/channelmap.h>
#include <pulse/sample.h>

#include <memory>
#include <vector>

struct sf_private_tag;

class SoundSource
{
public:
    // Null when the path is not a plain file libsndfile can decode at a rate the server
    // accepts; never blocks on a FIFO or a device.
    static std::unique_ptr<SoundSource> open(const QString &path);
    ~SoundSource();

    const pa_sample_spec &sampleSpec() const { return m_spec; }
    const pa_channel_map &channelMap() const { return m_map; }
    size_t frameBytes() const { return pa_frame_size(&m_spec); }

    // Fills up to maxFrames frames; fewer only at the end of what the file holds.
    size_t read(float *out, size_t maxFrames);

private:
    SoundSource(sf_private_tag *file, int fileChannels, int rate);

    sf_private_tag *m_file;
    int m_fileChannels;
    pa_sample_spec m_spec = {};
    pa_channel_map m_map = {};
    std::vector<float> m_wide; // frames as the file holds them, before the mix-down
};
