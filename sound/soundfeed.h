// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// One sound on its way from the disk: its file opened and decoded on a thread of its own
// into a bounded buffer in memory, from which the sound server's callbacks take samples.
#pragma once

#include <pulse/channelmap.h>
#include <pulse/sample.h>

#include <QString>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

class SoundFeed
{
public:
    enum class State {
        Opening, // the file is being opened or read ahead
        Ready, // the format is known and the buffer is full or holds the file's end
        Failed, // nothing to play; failure() says why
    };

    // Starts reading path on a new thread and returns at once; never fails (a thread that
    // cannot be started gives a Failed feed).
    static std::shared_ptr<SoundFeed> start(const QString &path);
    ~SoundFeed();
    SoundFeed(const SoundFeed &) = delete;
    SoundFeed &operator=(const SoundFeed &) = delete;

    const QString &path() const { return m_path; }
    // A descriptor that turns readable when the state changes, and when samples arrive
    // after take() found none; acknowledge() makes it unreadable again.
    int notifier() const { return m_notifier; }
    void acknowledge();

    State state() const;
    QString failure() const;
    // Failed for want of a descriptor or a thread, not for the file's sake.
    bool outOfResources() const;
    // Valid from Ready on.
    const pa_sample_spec &sampleSpec() const { return m_spec; }
    const pa_channel_map &channelMap() const { return m_map; }
    size_t frameBytes() const { return pa_frame_size(&m_spec); }

    // Copies up to maxFrames buffered frames; never waits for the disk. Fewer than asked
    // (even none) while the disk is slow: atEnd() tells that from the file's end.
    size_t take(float *out, size_t maxFrames);
    bool atEnd() const;

    // For a play of the same file, which may take over a feed still opening.
    bool cancelled() const;
    // The reader stops at its next step and no more notices come. A read that is stuck
    // in the disk is left to end by itself; its thread then ends without a trace.
    void cancel();

private:
    explicit SoundFeed(const QString &path);
    static void run(std::shared_ptr<SoundFeed> self);
    void notify(); // with m_mutex held
    void fail(const QString &why);

    const QString m_path;
    int m_notifier = -1;
    pa_sample_spec m_spec = {}; // written once before Ready, read only after
    pa_channel_map m_map = {};

    mutable std::mutex m_mutex;
    std::condition_variable m_space; // the reader waits here while the buffer is full
    State m_state = State::Opening;
    QString m_failure;
    bool m_outOfResources = false;
    bool m_cancelled = false;
    bool m_starved = false; // take() found nothing while the file goes on
    bool m_ended = false; // the reader has put the file's last frame in the buffer
    std::vector<float> m_ring; // buffered frames, m_count of them from m_head on
    size_t m_capacity = 0; // in frames
    size_t m_head = 0;
    size_t m_count = 0;
};
