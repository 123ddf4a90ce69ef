// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// A sound file decoded with libsndfile into 32-bit float frames for the sound server,
// mixed down to stereo when it has more channels than a server takes. Every call here
// may wait on the disk: the sound code calls it on a reader thread only.
#pragma once

#include <QString>

#include <pulse/channelmap.h>
#include <pulse/sample.h>

#include <memory>
#include <vector>

struct sf_private_tag;
struct BlockFile;

class SoundSource
{
public:
    // Null when the path is not a plain file libsndfile can decode at a rate the server
    // accepts, with the reason in why; never blocks on a FIFO or a device.
    static std::unique_ptr<SoundSource> open(const QString &path, QString *why);
    ~SoundSource();

    const pa_sample_spec &sampleSpec() const { return m_spec; }
    const pa_channel_map &channelMap() const { return m_map; }
    size_t frameBytes() const { return pa_frame_size(&m_spec); }
    // As the header says; a truncated file holds fewer.
    qint64 frames() const { return m_frames; }

    // Fills up to maxFrames frames; fewer only at the end of what the file holds (or where
    // the disk fails to give more).
    size_t read(float *out, size_t maxFrames);

private:
    SoundSource(std::unique_ptr<BlockFile> file, sf_private_tag *sound, int fileChannels, int rate,
                qint64 frames);

    std::unique_ptr<BlockFile> m_file;
    sf_private_tag *m_sound;
    int m_fileChannels;
    qint64 m_frames;
    pa_sample_spec m_spec = {};
    pa_channel_map m_map = {};
    std::vector<float> m_wide; // frames as the file holds them, before the mix-down
};
