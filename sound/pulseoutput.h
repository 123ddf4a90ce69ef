// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The sound output on the sound server's own client library, libpulse (which PulseAudio
// and PipeWire's pipewire-pulse both serve): the sound thread, the connection it keeps,
// and the hand-over of each play from the window's thread. Each sound's own life is a
// Playback (playback.h).
#pragma once

#include "soundfailures.h"

#include <pulse/mainloop-api.h>

#include <QElapsedTimer>
#include <QString>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <vector>

struct pa_context;
struct pa_proplist;
struct pa_stream;
struct pa_threaded_mainloop;
struct pa_time_event;
class Playback;

class PulseOutput
{
public:
    PulseOutput() = default;
    // Only after close() returned true, or when no sound was ever played.
    ~PulseOutput();
    PulseOutput(const PulseOutput &) = delete;
    PulseOutput &operator=(const PulseOutput &) = delete;

    // Cuts off the sound still playing or on its way and starts path (when not empty)
    // from its beginning. Called on the window's thread; touches neither the disk nor the
    // loop's lock, so it returns at once whatever either does. Silent on every failure.
    void play(const QString &path);
    // Drops the sound not heard yet, whatever it waits for (its disk, the connection, the
    // output, the server's session manager); a sound already heard plays to its end.
    void dropPending();
    // True from play() until that sound is done or dropped; waits for nothing.
    bool isPlaying() const;
    // Ends the sound and asks the sound thread to let go of the connection, waiting a
    // quarter of a second for it. False when the thread is stuck (in a connection reading
    // a hung home folder): this object must then be left alive for it, never destroyed.
    bool close();

    // The program's name, id and icon, as the connection and each stream carry them.
    static pa_proplist *identity();

    // For a Playback, on the sound thread with the loop's lock held.
    pa_mainloop_api *api() const;
    pa_context *context() const { return m_context; }
    bool isConnected() const;
    SoundFailures &failures() { return m_failures; }
    std::vector<float> &scratch() { return m_scratch; }
    // Deletes a stream the sound has let go of, once the server has it.
    void retire(pa_stream *stream);
    // Called at the end of every callback of the sound's: the sound may be over.
    void soundChanged();

private:
    bool startLoop();

    // Everything below runs on the sound thread with the main loop's lock held.
    void takeAsks();
    void shutDown();
    void publish();
    void connectContext();
    void releaseContext();
    void endSound();

    static void onAsked(pa_mainloop_api *api, pa_io_event *event, int fd, pa_io_event_flags_t flags,
                        void *self);
    static void onContextState(pa_context *context, void *self);
    static void onRetiring(pa_stream *stream, void *self);
    static void onIdle(pa_mainloop_api *api, pa_time_event *event, const struct timeval *when,
                       void *self);

    // Handed from the window's thread to the sound thread under m_askMutex, which
    // neither holds for longer than a few assignments.
    mutable std::mutex m_askMutex;
    std::condition_variable m_closedChanged;
    std::shared_ptr<Playback> m_current; // the window's last sound
    std::shared_ptr<Playback> m_asked; // a newer sound the sound thread has not taken yet
    bool m_closing = false;
    bool m_closed = false; // the sound thread has let go of everything
    int m_askNotifier = -1; // eventfd the sound thread's loop watches

    pa_threaded_mainloop *m_loop = nullptr;
    pa_io_event *m_askEvent = nullptr;
    pa_context *m_context = nullptr;
    QElapsedTimer m_connecting;
    std::shared_ptr<Playback> m_sound; // the sound thread's sound, until it is over
    std::vector<pa_stream *> m_retiring; // let go of; their deletion not yet answered
    pa_time_event *m_idleDeadline = nullptr; // only while connected with nothing to play
    std::vector<float> m_scratch;
    SoundFailures m_failures;
};
