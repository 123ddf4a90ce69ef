// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// Each sound has a reader thread of its own, so that a read stuck in a slow disk holds up
// nothing but itself: not the window, not the sound server's loop, not the next sound.
// The thread holds the feed alive through a shared pointer and ends once the file is read
// to its end or the feed is cancelled; nobody ever joins it. The sound thread is told of
// news through an eventfd that its loop watches, never by a call into it from here.
#include "soundfeed.h"

#include "soundsource.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/eventfd.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace {
// Read ahead of the sound server: a file this short is read whole before it is heard; a
// longer one (a 2 GB file, one that never ends) is kept this far ahead of the server.
constexpr size_t kAheadSeconds = 4;
constexpr size_t kAheadBytes = 16 * 1024 * 1024;
constexpr size_t kChunkFrames = 4096;
} // namespace

SoundFeed::SoundFeed(const QString &path)
    : m_path(path)
    , m_notifier(eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC))
{
}

SoundFeed::~SoundFeed()
{
    if (m_notifier >= 0)
        ::close(m_notifier);
}

std::shared_ptr<SoundFeed> SoundFeed::start(const QString &path)
{
    std::shared_ptr<SoundFeed> feed(new SoundFeed(path));
    if (feed->m_notifier < 0) {
        feed->m_state = State::Failed;
        feed->m_outOfResources = true;
        feed->m_failure = QStringLiteral("no eventfd for the reader: ")
            + QString::fromLocal8Bit(std::strerror(errno));
        return feed;
    }
    try {
        std::thread(&SoundFeed::run, feed).detach();
    } catch (const std::system_error &error) {
        feed->m_state = State::Failed;
        feed->m_outOfResources = true;
        feed->m_failure =
            QStringLiteral("no reader thread: ") + QString::fromLocal8Bit(error.what());
    }
    return feed;
}

void SoundFeed::acknowledge()
{
    eventfd_t ignored;
    eventfd_read(m_notifier, &ignored); // EAGAIN when nothing was signalled: fine
}

void SoundFeed::notify()
{
    if (!m_cancelled)
        eventfd_write(m_notifier, 1);
}

SoundFeed::State SoundFeed::state() const
{
    std::lock_guard lock(m_mutex);
    return m_state;
}

QString SoundFeed::failure() const
{
    std::lock_guard lock(m_mutex);
    return m_failure;
}

bool SoundFeed::outOfResources() const
{
    std::lock_guard lock(m_mutex);
    return m_outOfResources;
}

void SoundFeed::cancel()
{
    std::lock_guard lock(m_mutex);
    m_cancelled = true;
    m_space.notify_all();
}

bool SoundFeed::cancelled() const
{
    std::lock_guard lock(m_mutex);
    return m_cancelled;
}

bool SoundFeed::atEnd() const
{
    std::lock_guard lock(m_mutex);
    return m_ended && m_count == 0;
}

size_t SoundFeed::take(float *out, size_t maxFrames)
{
    std::lock_guard lock(m_mutex);
    const size_t channels = m_spec.channels;
    const size_t frames = std::min(maxFrames, m_count);
    const size_t first = std::min(frames, m_capacity - m_head);
    std::memcpy(out, m_ring.data() + m_head * channels, first * channels * sizeof(float));
    std::memcpy(out + first * channels, m_ring.data(), (frames - first) * channels * sizeof(float));
    m_head = (m_head + frames) % std::max<size_t>(m_capacity, 1);
    m_count -= frames;
    if (frames < maxFrames && !m_ended)
        m_starved = true;
    if (frames)
        m_space.notify_one();
    return frames;
}

void SoundFeed::fail(const QString &why)
{
    std::lock_guard lock(m_mutex);
    m_state = State::Failed;
    m_failure = why;
    notify();
}

void SoundFeed::run(std::shared_ptr<SoundFeed> self)
{
    QString why;
    std::unique_ptr<SoundSource> source = SoundSource::open(self->m_path, &why);
    if (!source) {
        self->fail(why);
        return;
    }
    const size_t frameBytes = source->frameBytes();
    const size_t channels = source->sampleSpec().channels;
    {
        std::lock_guard lock(self->m_mutex);
        if (self->m_cancelled)
            return;
        self->m_spec = source->sampleSpec();
        self->m_map = source->channelMap();
        const size_t ahead = std::min<size_t>(kAheadSeconds * self->m_spec.rate,
                                              std::max<size_t>(1, kAheadBytes / frameBytes));
        self->m_capacity = std::min<size_t>(ahead, size_t(source->frames()));
        self->m_ring.resize(self->m_capacity * channels);
    }
    std::vector<float> chunk(kChunkFrames * channels);
    for (;;) {
        size_t room;
        {
            std::unique_lock lock(self->m_mutex);
            self->m_space.wait(
                lock, [&] { return self->m_cancelled || self->m_count < self->m_capacity; });
            if (self->m_cancelled)
                return;
            room = std::min(kChunkFrames, self->m_capacity - self->m_count);
        }
        // The disk is read with no lock held: the sound thread takes what is buffered
        // meanwhile.
        const size_t got = source->read(chunk.data(), room);
        std::lock_guard lock(self->m_mutex);
        if (self->m_cancelled)
            return;
        size_t tail = (self->m_head + self->m_count) % self->m_capacity;
        for (size_t f = 0; f < got; ++f) {
            std::memcpy(self->m_ring.data() + tail * channels, chunk.data() + f * channels,
                        channels * sizeof(float));
            tail = (tail + 1) % self->m_capacity;
        }
        self->m_count += got;
        self->m_ended = got < room;
        bool news = false;
        if (self->m_state == State::Opening
            && (self->m_ended || self->m_count == self->m_capacity)) {
            self->m_state = State::Ready;
            news = true;
        }
        if (self->m_starved && (got > 0 || self->m_ended)) {
            self->m_starved = false;
            news = true;
        }
        if (news)
            self->notify();
        if (self->m_ended)
            return;
    }
}
