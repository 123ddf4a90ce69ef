// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// One sound from the play that asks for it to its end: its feed from the disk, its stream
// on the server and its deadlines, with the one state that says where it is.
#pragma once

#include "soundfailures.h"

#include <pulse/mainloop-api.h>
#include <pulse/sample.h>

#include <QString>

#include <atomic>
#include <memory>

struct pa_operation;
struct pa_stream;
struct pa_time_event;
class PulseOutput;
class SoundFeed;

class Playback : public std::enable_shared_from_this<Playback>
{
public:
    enum class State {
        Asked, // handed to the sound thread, not taken yet
        Reading, // its file still opening on its reader thread
        Waiting, // read; waits for the connection, its stream's creation or the output
        Playing, // the server has begun to play it: it is being heard
        Draining, // heard, and the whole file is with the server, which plays out the rest
        Done, // heard to its end, or silent for a failure that is logged
        Dropped, // ended by a newer play, STOP or the close
    };

    // On the window's thread: starts reading path at once, on the feed's own thread.
    Playback(PulseOutput &output, const QString &path);
    ~Playback();
    Playback(const Playback &) = delete;
    Playback &operator=(const Playback &) = delete;

    // From any thread.
    const QString &path() const { return m_path; }
    State state() const { return m_state.load(); }
    bool isOver() const;
    // Not taken by the sound thread yet or still reading, with the file not open yet: a
    // play of the same file waits for this one instead of opening it again.
    bool isOpening() const;
    // Ends the sound in whatever state it is (a newer play, the close); false when it had
    // already ended. Its reader stops at once; the sound thread lets go of its stream.
    bool drop();
    // Ends the sound only while it is not heard yet (STOP): asked, reading or waiting.
    bool dropUnheard();

    // On the sound thread, with the loop's lock held.
    void begin();
    // The connection is ready: a waiting sound opens its stream.
    void connectionReady();
    // The connection failed. True when the sound can wait for the next one: nothing of it
    // has gone to the server yet. Either way its stream, if any, is let go.
    bool survivesConnectionLoss();
    // Ends the sound for a failure, logged under cause.
    void fail(SoundFailures::Cause cause, const QString &why);
    // Once the sound is over, frees its stream, events and deadlines. Idempotent.
    void release();

private:
    bool moveTo(State from, State to);
    // To Done from any state not over; false when it was over.
    bool end();
    void advance();
    void openStream();
    void releaseStream();
    void freeDeadline(pa_time_event *&deadline);
    void armDeadline(pa_time_event *&deadline, pa_usec_t patience, pa_time_event_cb_t callback);
    void writeMore(size_t bytes);
    void finish();
    // Every callback ends with this: a sound found over lets go of what it holds, and the
    // output learns of it.
    void settle();

    static void onFeed(pa_mainloop_api *api, pa_io_event *event, int fd, pa_io_event_flags_t flags,
                       void *self);
    static void onStreamState(pa_stream *stream, void *self);
    static void onWrite(pa_stream *stream, size_t bytes, void *self);
    static void onStarted(pa_stream *stream, void *self);
    static void onDrained(pa_stream *stream, int success, void *self);
    static void onStall(pa_mainloop_api *api, pa_time_event *event, const struct timeval *when,
                        void *self);
    static void onDrainOverdue(pa_mainloop_api *api, pa_time_event *event,
                               const struct timeval *when, void *self);

    PulseOutput &m_output;
    const QString m_path;
    const std::shared_ptr<SoundFeed> m_feed; // the same for the sound's whole life
    std::atomic<State> m_state {State::Asked};

    // The sound thread's alone.
    pa_io_event *m_feedEvent = nullptr; // until the whole file is with the server
    pa_stream *m_stream = nullptr;
    pa_operation *m_drain = nullptr;
    pa_time_event *m_stallDeadline = nullptr; // while playing and fed
    pa_time_event *m_drainDeadline = nullptr; // while draining
    bool m_taken = false; // samples have left the feed for the server
    bool m_allWritten = false;
};
