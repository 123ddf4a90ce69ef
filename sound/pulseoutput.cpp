// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The client library's threaded main loop runs the connection, and every callback, on a
// thread of its own: the sound thread. Files are opened and read on a reader thread per
// sound (soundfeed.cpp); the sound thread takes their samples from memory. The window's
// thread never takes the loop's lock while the program runs: a play is handed over under
// a mutex of its own and announced through an eventfd the loop watches, so neither the
// disk nor the server can hold the window. The thread and the connection are made at the
// first play and kept: a new connection reads the client configuration and the cookie
// from the home folder on the sound thread, and a network home that hangs must not
// silence a ring. A connection that failed (server gone or restarting) is dropped and made
// again at the next play, so nothing retries or polls while no sound is asked for; one
// that timed out while a sound waits for it is made again at once, for as long as the
// sound waits. Nothing here touches Qt widgets.
#include "pulseoutput.h"

#include "playback.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/proplist.h>
#include <pulse/rtclock.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

// A connection still not ready after this long, when a new sound is asked for, is taken
// for a server that hangs and made anew.
constexpr qint64 kConnectPatienceMs = 2000;

// How long after the last sound the connection is looked at. PipeWire 0.3.65's pulse
// server leaves some stream deletions of a burst of plays unanswered, and the client
// library keeps a 30 s reply timeout armed for each: about 27 wake-ups a second for half
// a minute after a soak's burst. When deletions are still unanswered this long after the
// last sound, the connection is closed, which frees them all; otherwise it is kept.
constexpr pa_usec_t kIdleConnectionUsec = 3000000;

// How long the close waits for the sound thread to let go of the connection. It answers
// within a millisecond unless a connection is reading a home folder that hangs.
constexpr auto kClosePatience = std::chrono::milliseconds(250);

constexpr char kAppName[] = "Tollwick";
constexpr char kAppId[] = TOLLWICK_APP_ID; // the desktop entry's name, as the icon's

QString serverError(pa_context *context)
{
    return QString::fromUtf8(pa_strerror(pa_context_errno(context)));
}

} // namespace

PulseOutput::~PulseOutput()
{
    if (!m_loop)
        return;
    // The sound thread has let go of everything (close()) and waits in its poll.
    pa_threaded_mainloop_stop(m_loop);
    pa_threaded_mainloop_free(m_loop);
    ::close(m_askNotifier);
}

bool PulseOutput::close()
{
    if (!m_loop)
        return true;
    std::shared_ptr<Playback> current;
    std::unique_lock lock(m_askMutex);
    current = std::move(m_current);
    m_closing = true;
    lock.unlock();
    if (current)
        current->drop(); // its reader, stuck or not, stops or is left to end by itself
    eventfd_write(m_askNotifier, 1);
    lock.lock();
    return m_closedChanged.wait_for(lock, kClosePatience, [this] { return m_closed; });
}

bool PulseOutput::startLoop()
{
    // No sound thread runs yet, so the failures are the window thread's to log.
    m_askNotifier = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_askNotifier < 0) {
        m_failures.report(SoundFailures::OutOfResources,
                          QStringLiteral("no eventfd: ") + QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    m_loop = pa_threaded_mainloop_new();
    if (m_loop) {
        pa_threaded_mainloop_set_name(m_loop, "tollwick-sound");
        // Not running yet, so no lock is needed.
        pa_mainloop_api *loopApi = pa_threaded_mainloop_get_api(m_loop);
        m_askEvent =
            loopApi->io_new(loopApi, m_askNotifier, PA_IO_EVENT_INPUT, &PulseOutput::onAsked, this);
        if (m_askEvent && pa_threaded_mainloop_start(m_loop) >= 0)
            return true;
        if (m_askEvent)
            loopApi->io_free(m_askEvent);
        pa_threaded_mainloop_free(m_loop);
        m_loop = nullptr;
    }
    m_failures.report(SoundFailures::OutOfResources, QStringLiteral("no sound thread"));
    ::close(m_askNotifier);
    m_askNotifier = -1;
    return false;
}

bool PulseOutput::isPlaying() const
{
    std::lock_guard lock(m_askMutex);
    return m_current && !m_current->isOver();
}

void PulseOutput::play(const QString &path)
{
    if (!m_loop && (path.isEmpty() || !startLoop()))
        return; // nothing plays yet to cut off
    if (!path.isEmpty()) {
        // A play of the file still opening waits for that open instead of starting
        // another: the sound starts from its beginning either way, and a ring faster
        // than its disk would otherwise restart the open at every tick, never heard.
        std::lock_guard lock(m_askMutex);
        if (m_current && m_current->path() == path && m_current->isOpening())
            return;
    }
    std::shared_ptr<Playback> sound;
    if (!path.isEmpty())
        sound = std::make_shared<Playback>(*this, path);
    std::shared_ptr<Playback> replaced;
    {
        std::lock_guard lock(m_askMutex);
        replaced = std::exchange(m_current, sound);
        m_asked = std::move(sound);
    }
    if (replaced)
        replaced->drop();
    eventfd_write(m_askNotifier, 1);
}

void PulseOutput::dropPending()
{
    if (!m_loop)
        return;
    std::shared_ptr<Playback> current;
    {
        std::lock_guard lock(m_askMutex);
        current = m_current;
    }
    if (!current)
        return;
    const bool dropped = current->dropUnheard();
    if (dropped || current->isOver()) {
        // Its feed, and the feed's descriptor, go with the sound thread's last reference.
        std::lock_guard lock(m_askMutex);
        if (m_current == current)
            m_current.reset();
    }
    if (dropped)
        eventfd_write(m_askNotifier, 1);
}

void PulseOutput::onAsked(pa_mainloop_api *, pa_io_event *, int fd, pa_io_event_flags_t, void *self)
{
    eventfd_t ignored;
    eventfd_read(fd, &ignored);
    static_cast<PulseOutput *>(self)->takeAsks();
}

void PulseOutput::takeAsks()
{
    std::shared_ptr<Playback> next;
    bool closing;
    {
        std::lock_guard lock(m_askMutex);
        next = std::move(m_asked);
        closing = m_closing;
    }
    if (closing) {
        shutDown();
        return;
    }
    if (next && next != m_sound) {
        if (m_sound)
            m_sound->drop(); // the window has dropped it already; this thread lets go of it
        endSound();
        m_sound = std::move(next);
        if (m_sound->state() == Playback::State::Asked) {
            const pa_context_state_t state =
                m_context ? pa_context_get_state(m_context) : PA_CONTEXT_TERMINATED;
            if (!PA_CONTEXT_IS_GOOD(state)
                || (state != PA_CONTEXT_READY && m_connecting.elapsed() > kConnectPatienceMs)) {
                releaseContext();
                connectContext();
            }
        }
        if (m_sound)
            m_sound->begin();
    }
    soundChanged();
}

// The close: the sound is dropped and the connection let go of, on this thread, which
// then waits in its poll for the window's thread to stop it.
void PulseOutput::shutDown()
{
    if (m_sound)
        m_sound->drop();
    endSound();
    releaseContext();
    if (m_askEvent) {
        api()->io_free(m_askEvent);
        m_askEvent = nullptr;
    }
    std::lock_guard lock(m_askMutex);
    m_asked.reset();
    m_closed = true;
    m_closedChanged.notify_all();
}

void PulseOutput::endSound()
{
    if (!m_sound)
        return;
    m_sound->release();
    m_sound.reset();
}

pa_proplist *PulseOutput::identity()
{
    pa_proplist *props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, kAppName);
    pa_proplist_sets(props, PA_PROP_APPLICATION_ID, kAppId);
    pa_proplist_sets(props, PA_PROP_APPLICATION_ICON_NAME, kAppId);
    return props;
}

pa_mainloop_api *PulseOutput::api() const
{
    return pa_threaded_mainloop_get_api(m_loop);
}

bool PulseOutput::isConnected() const
{
    return m_context && pa_context_get_state(m_context) == PA_CONTEXT_READY;
}

void PulseOutput::soundChanged()
{
    if (m_sound && m_sound->isOver())
        endSound();
    publish();
}

// With no sound asked for, the idle deadline is the only event besides the hand-over.
void PulseOutput::publish()
{
    const bool active = bool(m_sound);
    if (active && m_idleDeadline) {
        api()->time_free(m_idleDeadline);
        m_idleDeadline = nullptr;
    } else if (!active && m_context && !m_idleDeadline) {
        m_idleDeadline = pa_context_rttime_new(m_context, pa_rtclock_now() + kIdleConnectionUsec,
                                               &PulseOutput::onIdle, this);
    }
}

void PulseOutput::onIdle(pa_mainloop_api *loopApi, pa_time_event *event, const struct timeval *,
                         void *self)
{
    auto *output = static_cast<PulseOutput *>(self);
    if (event != output->m_idleDeadline)
        return;
    loopApi->time_free(event);
    output->m_idleDeadline = nullptr;
    if (!output->m_sound && !output->m_retiring.empty())
        output->releaseContext();
}

void PulseOutput::connectContext()
{
    pa_proplist *props = identity();
    m_context = pa_context_new_with_proplist(api(), kAppName, props);
    pa_proplist_free(props);
    if (!m_context) {
        if (m_sound)
            m_sound->fail(SoundFailures::OutOfResources, QStringLiteral("no client context"));
        return;
    }
    pa_context_set_state_callback(m_context, &PulseOutput::onContextState, this);
    m_connecting.start();
    pa_context *context = m_context;
    // The library's default would start a server when none runs; a desk alarm never does.
    if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0
        && m_context == context) { // else onContextState has already reported and released it
        if (m_sound)
            m_sound->fail(SoundFailures::NoServer, serverError(context));
        releaseContext();
    }
}

void PulseOutput::releaseContext()
{
    if (m_idleDeadline) {
        api()->time_free(m_idleDeadline);
        m_idleDeadline = nullptr;
    }
    for (pa_stream *stream : std::exchange(m_retiring, {})) {
        pa_stream_set_state_callback(stream, nullptr, nullptr);
        pa_stream_unref(stream);
    }
    if (!m_context)
        return;
    pa_context_set_state_callback(m_context, nullptr, nullptr);
    pa_context_disconnect(m_context);
    pa_context_unref(m_context);
    m_context = nullptr;
}

// A stream is deleted on the server only once it exists there: one still being created
// is kept until it is, then deleted. Those whose deletion is unanswered are counted by
// m_retiring, which the idle deadline looks at.
void PulseOutput::retire(pa_stream *stream)
{
    pa_stream_set_state_callback(stream, nullptr, nullptr);
    pa_stream_set_write_callback(stream, nullptr, nullptr);
    pa_stream_set_started_callback(stream, nullptr, nullptr);
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if (isConnected()
        && (state == PA_STREAM_CREATING
            || (state == PA_STREAM_READY && pa_stream_disconnect(stream) >= 0))) {
        pa_stream_set_state_callback(stream, &PulseOutput::onRetiring, this);
        m_retiring.push_back(stream);
        return;
    }
    pa_stream_unref(stream);
}

void PulseOutput::onRetiring(pa_stream *stream, void *self)
{
    auto *output = static_cast<PulseOutput *>(self);
    switch (pa_stream_get_state(stream)) {
    case PA_STREAM_READY: // created after it was let go of
        if (pa_stream_disconnect(stream) >= 0)
            return;
        break;
    case PA_STREAM_FAILED:
    case PA_STREAM_TERMINATED:
        break;
    default:
        return;
    }
    auto &retiring = output->m_retiring;
    retiring.erase(std::remove(retiring.begin(), retiring.end(), stream), retiring.end());
    pa_stream_set_state_callback(stream, nullptr, nullptr);
    pa_stream_unref(stream); // the library holds its own reference while it calls us
}

void PulseOutput::onContextState(pa_context *context, void *self)
{
    auto *output = static_cast<PulseOutput *>(self);
    // The sound may end below, and with it the last reference but this one.
    const std::shared_ptr<Playback> sound = output->m_sound;
    switch (pa_context_get_state(context)) {
    case PA_CONTEXT_READY:
        output->m_failures.clear(SoundFailures::NoServer);
        if (sound)
            sound->connectionReady();
        break;
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
        // A server that answers too slowly (PipeWire's, while its session manager is stuck,
        // past the library's 30 s reply timeout) is still there: a sound that waits for it
        // is asked for again on a new connection, as long as it takes. A server gone or
        // refusing us leaves this sound silent; the next play connects afresh.
        if (pa_context_errno(context) == PA_ERR_TIMEOUT && sound
            && sound->survivesConnectionLoss()) {
            output->m_failures.report(SoundFailures::TimedOut,
                                      QStringLiteral("the connection; made again"));
            output->releaseContext();
            output->connectContext();
            break;
        }
        if (sound)
            sound->fail(SoundFailures::NoServer, serverError(context));
        else
            output->m_failures.report(SoundFailures::NoServer, serverError(context));
        output->endSound();
        output->releaseContext();
        break;
    default:
        break;
    }
    output->soundChanged();
}
