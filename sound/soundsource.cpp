// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// Layouts up to 8 channels go to the server as the WAV standard orders them, and the
// server mixes them to the output's layout; beyond 8 there is no standard order, so the
// channels are mixed to stereo here, even ones to the left and odd ones to the right.
//
// libsndfile reads a file through its own descriptor in pieces of a few bytes while it
// parses the header; on a disk that takes seconds per read (a spun-down USB disk, a
// stalled network home) that adds up to minutes. So the file is read here in large blocks,
// and libsndfile is handed it through its virtual I/O.
#include "soundsource.h"

#include <QFile>

#include <sndfile.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr int kMaxServerLayout = 8;
constexpr sf_count_t kBlockBytes = 128 * 1024; // what FUSE and most disks give in one read
} // namespace

// The file's descriptor with one block of it in memory.
struct BlockFile {
    int fd = -1;
    sf_count_t size = 0;
    sf_count_t position = 0;
    sf_count_t blockStart = 0;
    sf_count_t blockLength = 0; // the bytes from blockStart on
    // Page-aligned: FUSE splits a read into an unaligned buffer into two requests, and a
    // slow disk charges each.
    std::unique_ptr<char, decltype(&std::free)> block {
        static_cast<char *>(std::aligned_alloc(4096, size_t(kBlockBytes))), &std::free};

    ~BlockFile()
    {
        if (fd >= 0)
            ::close(fd);
    }

    sf_count_t read(void *out, sf_count_t count)
    {
        sf_count_t done = 0;
        auto *to = static_cast<char *>(out);
        while (done < count && position < size) {
            const sf_count_t inBlock = position - blockStart;
            if (inBlock < 0 || inBlock >= blockLength) {
                if (!fill())
                    break;
                continue;
            }
            const sf_count_t n = std::min(count - done, blockLength - inBlock);
            std::memcpy(to + done, block.get() + inBlock, size_t(n));
            done += n;
            position += n;
        }
        return done;
    }

    // Reads the block at the position; never past the size, so the file's end costs no
    // read of its own.
    bool fill()
    {
        const sf_count_t want = std::min(kBlockBytes, size - position);
        ssize_t got;
        do
            got = ::pread(fd, block.get(), size_t(want), off_t(position));
        while (got < 0 && errno == EINTR);
        blockLength = std::max<sf_count_t>(got, 0);
        blockStart = position;
        return got > 0;
    }

    static sf_count_t length(void *self) { return static_cast<BlockFile *>(self)->size; }
    static sf_count_t seek(sf_count_t offset, int whence, void *self)
    {
        auto *file = static_cast<BlockFile *>(self);
        const sf_count_t base =
            whence == SEEK_SET ? 0 : (whence == SEEK_CUR ? file->position : file->size);
        file->position = std::clamp<sf_count_t>(base + offset, 0, file->size);
        return file->position;
    }
    static sf_count_t readInto(void *out, sf_count_t count, void *self)
    {
        return static_cast<BlockFile *>(self)->read(out, count);
    }
    static sf_count_t write(const void *, sf_count_t, void *) { return 0; }
    static sf_count_t tell(void *self) { return static_cast<BlockFile *>(self)->position; }
};

std::unique_ptr<SoundSource> SoundSource::open(const QString &path, QString *why)
{
    if (path.isEmpty()) {
        *why = QStringLiteral("no sound file given");
        return nullptr;
    }
    const QByteArray name = QFile::encodeName(path);
    // Opening a FIFO or a device could block or act on it; only plain files are tried.
    struct stat st = {};
    if (::stat(name.constData(), &st) < 0 || !S_ISREG(st.st_mode)) {
        *why = path + QStringLiteral(": not a readable file");
        return nullptr;
    }
    auto file = std::make_unique<BlockFile>();
    if (!file->block) {
        *why = path + QStringLiteral(": no memory to read it");
        return nullptr;
    }
    file->fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (file->fd < 0 || ::fstat(file->fd, &st) < 0) {
        *why = path + QStringLiteral(": ") + QString::fromLocal8Bit(std::strerror(errno));
        return nullptr;
    }
    // Replaced by something else between the stat and the open: errno says nothing here.
    if (!S_ISREG(st.st_mode)) {
        *why = path + QStringLiteral(": not a readable file");
        return nullptr;
    }
    file->size = sf_count_t(st.st_size);
    SF_VIRTUAL_IO io = {&BlockFile::length, &BlockFile::seek, &BlockFile::readInto,
                        &BlockFile::write, &BlockFile::tell};
    SF_INFO info = {};
    SNDFILE *sound = sf_open_virtual(&io, SFM_READ, &info, file.get());
    if (!sound) {
        // sf_strerror(nullptr) is one string for all threads; the reason is named here.
        *why = path + QStringLiteral(": not a sound file libsndfile reads");
        return nullptr;
    }
    if (info.channels <= 0 || info.frames <= 0 || info.samplerate <= 0
        || uint32_t(info.samplerate) > PA_RATE_MAX) {
        *why = path + QStringLiteral(": no sound a server can play");
        sf_close(sound);
        return nullptr;
    }
    // Decoded float is scaled to [-1, 1] whatever the encoding in the file.
    sf_command(sound, SFC_SET_NORM_FLOAT, nullptr, SF_TRUE);
    return std::unique_ptr<SoundSource>(
        new SoundSource(std::move(file), sound, info.channels, info.samplerate, info.frames));
}

SoundSource::SoundSource(std::unique_ptr<BlockFile> file, SNDFILE *sound, int fileChannels,
                         int rate, qint64 frames)
    : m_file(std::move(file))
    , m_sound(sound)
    , m_fileChannels(fileChannels)
    , m_frames(frames)
{
    m_spec.format = PA_SAMPLE_FLOAT32NE;
    m_spec.rate = uint32_t(rate);
    m_spec.channels = uint8_t(fileChannels > kMaxServerLayout ? 2 : fileChannels);
    pa_channel_map_init_auto(&m_map, m_spec.channels, PA_CHANNEL_MAP_WAVEEX);
}

SoundSource::~SoundSource()
{
    sf_close(m_sound);
}

size_t SoundSource::read(float *out, size_t maxFrames)
{
    if (m_fileChannels == m_spec.channels)
        return size_t(sf_readf_float(m_sound, out, sf_count_t(maxFrames)));
    m_wide.resize(maxFrames * size_t(m_fileChannels));
    const size_t frames = size_t(sf_readf_float(m_sound, m_wide.data(), sf_count_t(maxFrames)));
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
