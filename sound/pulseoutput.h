// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The sound output on the sound server's own client library, libpulse (which PulseAudio
// and PipeWire's pipewire-pulse both serve): one stream per play into the default output.
#pragma once

#include "soundfailures.h"

#include <pulse/mainloop-api.h>

#include <QElapsedTimer>
#include <QString>

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

struct pa_context;
struct pa_io_event;
struct pa_mainloop_api;
struct pa_stream;
struct pa_threaded_mainloop;
struct pa_time_event;
class SoundFeed;

class PulseOutput
{
public:
    PulseOutput() = default;
    // Ends within a moment even while a file's read is stuck: the reader is left behind.
    ~PulseOutput();
    PulseOutput(const PulseOutput &) = delete;
    PulseOutput &operator=(const PulseOutput &) = delete;

    // Cuts off the sound still playing or still opening and starts path (when not empty)
    // from its beginning. Called on the window's thread; touches neither the disk nor the
    // loop's lock, so it returns at once whatever either does. Silent on every failure.
    void play(const QString &path);
    // Drops a sound still opening, which would otherwise start when its disk answers; a
    // sound already heard plays to its end.
    void dropPending();
    // True while a sound is asked for or a stream is open; waits for nothing.
    bool isPlaying() const;

private:
    // Where a feed is watched: the feed and the loop's event on its notifier.
    struct Watched {
        std::shared_ptr<SoundFeed> feed;
        pa_io_event *event = nullptr;
    };

    bool startLoop();
    void ask(std::shared_ptr<SoundFeed> feed);

    // Everything below runs on the sound thread with the main loop's lock held.
    void takeAsks();
    void publish();
    void connectContext();
    void releaseContext();
    void tryStart();
    void startStream();
    void releaseStream();
    void retire(pa_stream *stream);
    void watch(Watched &watched, std::shared_ptr<SoundFeed> feed);
    void unwatch(Watched &watched);
    void writeMore(pa_stream *stream, size_t bytes);
    void finish(pa_stream *stream);

    static void onAsked(pa_mainloop_api *api, pa_io_event *event, int fd, pa_io_event_flags_t flags,
                        void *self);
    static void onFeed(pa_mainloop_api *api, pa_io_event *event, int fd, pa_io_event_flags_t flags,
                       void *self);
    static void onContextState(pa_context *context, void *self);
    static void onStreamState(pa_stream *stream, void *self);
    static void onWrite(pa_stream *stream, size_t bytes, void *self);
    static void onStarted(pa_stream *stream, void *self);
    static void onRetiring(pa_stream *stream, void *self);
    static void onDrained(pa_stream *stream, int success, void *self);
    static void onStall(pa_mainloop_api *api, pa_time_event *event, const struct timeval *when,
                        void *self);
    static void onIdle(pa_mainloop_api *api, pa_time_event *event, const struct timeval *when,
                       void *self);
    static void onDrainOverdue(pa_mainloop_api *api, pa_time_event *event,
                               const struct timeval *when, void *self);

    // Handed from the window's thread to the sound thread under m_askMutex, which
    // neither holds for longer than a few assignments.
    mutable std::mutex m_askMutex;
    bool m_asked = false; // a play came that the sound thread has not taken yet
    std::shared_ptr<SoundFeed> m_askedFeed; // its sound; null for a cut-off alone
    bool m_dropAsked = false;
    std::shared_ptr<SoundFeed> m_lastFeed; // the window's last sound, for a repeated play
    bool m_active = false; // published by the sound thread: a sound pending or a stream open
    int m_askNotifier = -1; // eventfd the sound thread's loop watches

    pa_threaded_mainloop *m_loop = nullptr;
    pa_io_event *m_askEvent = nullptr;
    pa_context *m_context = nullptr;
    QElapsedTimer m_connecting;
    pa_stream *m_stream = nullptr;
    bool m_started = false; // the server has begun to play m_stream
    std::vector<pa_stream *> m_retiring; // cut off; their deletion not yet answered
    pa_time_event *m_drainDeadline = nullptr; // only while a drain is pending
    pa_time_event *m_stallDeadline = nullptr; // while the stream is fed
    pa_time_event *m_idleDeadline = nullptr; // only while connected with nothing to play
    Watched m_playing; // feeds m_stream until the file's end
    Watched m_pending; // waits for its file or for the context
    std::vector<float> m_scratch;
    SoundFailures m_failures;
};
