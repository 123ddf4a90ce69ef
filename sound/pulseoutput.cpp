// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The client library's threaded main loop runs the connection, and every callback, on a
// thread of its own: the sound thread. Files are opened and read on a reader thread per
// sound (soundfeed.cpp); the sound thread takes their samples from memory. The window's
// thread never takes the loop's lock: a play is handed over under a mutex of its own and
// announced through an eventfd the loop watches, so neither the disk nor the server can
// hold the window. The thread and the connection are made at the first play and kept:
// a new connection reads the client configuration and the cookie from the home folder on
// the sound thread, and a network home that hangs must not silence a ring. A connection
// that failed (server gone or restarting) is dropped and made again at the next play, so
// nothing retries or polls while no sound is asked for. Nothing here touches Qt widgets.
#include "pulseoutput.h"

#include "soundfeed.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/proplist.h>
#include <pulse/rtclock.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>

#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sys/eventfd.h>
#include <unistd.h>

namespace {

// A connection still not ready after this long is taken for a server that hangs.
constexpr qint64 kConnectPatienceMs = 2000;
constexpr pa_usec_t kAheadUsec = 100000;
// Both limits below count only once the server has started to play the stream: before
// that the output may be suspended or still waking (a Bluetooth headset, HDMI), and the
// stream waits for it as long as it takes, as paplay's does.
// A drain normally ends within the tenth of a second the stream holds ahead. PipeWire
// 0.3.65 can leave one unanswered after a burst of plays, which would keep the stream,
// and the sound thread, busy for the rest of the run; past this, the stream is closed.
constexpr pa_usec_t kDrainPatienceUsec = 2000000;
// A stream holds a tenth of a second, so a playing server asks for more every few tens
// of ms. Under such a burst the same server can also stop asking; past this without a
// request while it holds all it asked for, the stream is closed.
constexpr pa_usec_t kStallPatienceUsec = 2000000;

// How long after the last sound the connection is looked at. PipeWire 0.3.65's pulse
// server leaves some stream deletions of a burst of plays unanswered, and the client
// library keeps a 30 s reply timeout armed for each: about 27 wake-ups a second for half
// a minute after a soak's burst. When deletions are still unanswered this long after the
// last sound, the connection is closed, which frees them all; otherwise it is kept.
constexpr pa_usec_t kIdleConnectionUsec = 3000000;

constexpr char kAppName[] = "Tollwick";
constexpr char kAppId[] = TOLLWICK_APP_ID; // the desktop entry's name, as the icon's

pa_proplist *identity()
{
    pa_proplist *props = pa_proplist_new();
    pa_proplist_sets(props, PA_PROP_APPLICATION_NAME, kAppName);
    pa_proplist_sets(props, PA_PROP_APPLICATION_ID, kAppId);
    pa_proplist_sets(props, PA_PROP_APPLICATION_ICON_NAME, kAppId);
    return props;
}

QString serverError(pa_context *context)
{
    return QString::fromUtf8(pa_strerror(pa_context_errno(context)));
}

class LoopLock
{
public:
    explicit LoopLock(pa_threaded_mainloop *loop)
        : m_loop(loop)
    {
        pa_threaded_mainloop_lock(m_loop);
    }
    ~LoopLock() { pa_threaded_mainloop_unlock(m_loop); }

private:
    pa_threaded_mainloop *m_loop;
};

} // namespace

PulseOutput::~PulseOutput()
{
    if (!m_loop)
        return;
    {
        std::lock_guard lock(m_askMutex);
        if (m_askedFeed)
            m_askedFeed->cancel();
        m_askedFeed.reset();
        m_lastFeed.reset();
    }
    {
        // The sound thread holds the lock only for work in memory, so this comes at once;
        // a reader still stuck in its disk is cancelled and left to end by itself.
        LoopLock lock(m_loop);
        unwatch(m_pending);
        releaseStream();
        releaseContext();
        pa_threaded_mainloop_get_api(m_loop)->io_free(m_askEvent);
    }
    pa_threaded_mainloop_stop(m_loop);
    pa_threaded_mainloop_free(m_loop);
    ::close(m_askNotifier);
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
        pa_mainloop_api *api = pa_threaded_mainloop_get_api(m_loop);
        m_askEvent =
            api->io_new(api, m_askNotifier, PA_IO_EVENT_INPUT, &PulseOutput::onAsked, this);
        if (m_askEvent && pa_threaded_mainloop_start(m_loop) >= 0)
            return true;
        if (m_askEvent)
            api->io_free(m_askEvent);
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
    return m_asked ? bool(m_askedFeed) : m_active;
}

void PulseOutput::play(const QString &path)
{
    if (!m_loop && (path.isEmpty() || !startLoop()))
        return; // nothing plays yet to cut off
    std::shared_ptr<SoundFeed> feed;
    if (!path.isEmpty()) {
        {
            // A play of the file still opening waits for that open instead of starting
            // another: the sound starts from its beginning either way, and a ring faster
            // than its disk would otherwise restart the open at every tick, never heard.
            std::lock_guard lock(m_askMutex);
            if (m_lastFeed && m_lastFeed->path() == path
                && m_lastFeed->state() == SoundFeed::State::Opening && !m_lastFeed->cancelled())
                feed = m_lastFeed;
        }
        if (!feed)
            feed = SoundFeed::start(path);
    }
    ask(std::move(feed));
}

void PulseOutput::dropPending()
{
    if (!m_loop)
        return;
    std::shared_ptr<SoundFeed> stale;
    {
        std::lock_guard lock(m_askMutex);
        if (m_asked)
            stale = std::exchange(m_askedFeed, nullptr); // still cuts off what plays
        m_dropAsked = true;
        m_lastFeed.reset();
    }
    if (stale)
        stale->cancel();
    eventfd_write(m_askNotifier, 1);
}

void PulseOutput::ask(std::shared_ptr<SoundFeed> feed)
{
    std::shared_ptr<SoundFeed> stale;
    {
        std::lock_guard lock(m_askMutex);
        if (m_asked && m_askedFeed != feed)
            stale = std::move(m_askedFeed); // never taken: the sound thread will not see it
        m_asked = true;
        m_askedFeed = feed;
        m_lastFeed = std::move(feed);
    }
    if (stale)
        stale->cancel();
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
    bool asked, drop;
    std::shared_ptr<SoundFeed> feed;
    {
        std::lock_guard lock(m_askMutex);
        asked = std::exchange(m_asked, false);
        drop = std::exchange(m_dropAsked, false);
        feed = std::move(m_askedFeed);
    }
    if (drop)
        unwatch(m_pending);
    const bool same = feed && (feed == m_pending.feed || feed == m_playing.feed);
    // The window took over a feed that this thread has dropped since (the server went
    // away meanwhile): the file is opened afresh.
    if (feed && !same && feed->cancelled())
        feed = SoundFeed::start(feed->path());
    if (asked && !same) {
        releaseStream();
        unwatch(m_pending);
        if (feed) {
            watch(m_pending, std::move(feed));
            const pa_context_state_t state =
                m_context ? pa_context_get_state(m_context) : PA_CONTEXT_TERMINATED;
            if (!PA_CONTEXT_IS_GOOD(state)
                || (state != PA_CONTEXT_READY && m_connecting.elapsed() > kConnectPatienceMs)) {
                releaseContext();
                connectContext();
            }
            tryStart();
        }
    }
    publish();
}

void PulseOutput::publish()
{
    const bool active = m_stream || m_pending.feed;
    {
        std::lock_guard lock(m_askMutex);
        m_active = active;
    }
    if (active && m_idleDeadline) {
        pa_threaded_mainloop_get_api(m_loop)->time_free(m_idleDeadline);
        m_idleDeadline = nullptr;
    } else if (!active && m_context && !m_idleDeadline) {
        m_idleDeadline = pa_context_rttime_new(m_context, pa_rtclock_now() + kIdleConnectionUsec,
                                               &PulseOutput::onIdle, this);
    }
}

void PulseOutput::onIdle(pa_mainloop_api *api, pa_time_event *event, const struct timeval *,
                         void *self)
{
    auto *output = static_cast<PulseOutput *>(self);
    if (event != output->m_idleDeadline)
        return;
    api->time_free(event);
    output->m_idleDeadline = nullptr;
    if (!output->m_stream && !output->m_pending.feed && !output->m_retiring.empty())
        output->releaseContext();
}

void PulseOutput::watch(Watched &watched, std::shared_ptr<SoundFeed> feed)
{
    // A feed made at the descriptor limit has nothing to watch: it failed at its start.
    if (feed->notifier() < 0) {
        m_failures.report(SoundFailures::OutOfResources, feed->failure());
        return;
    }
    pa_mainloop_api *api = pa_threaded_mainloop_get_api(m_loop);
    watched.event =
        api->io_new(api, feed->notifier(), PA_IO_EVENT_INPUT, &PulseOutput::onFeed, this);
    if (!watched.event) {
        feed->cancel();
        return;
    }
    watched.feed = std::move(feed);
}

void PulseOutput::unwatch(Watched &watched)
{
    if (!watched.feed)
        return;
    watched.feed->cancel();
    pa_threaded_mainloop_get_api(m_loop)->io_free(watched.event);
    watched.event = nullptr;
    watched.feed.reset();
}

void PulseOutput::onFeed(pa_mainloop_api *, pa_io_event *event, int, pa_io_event_flags_t,
                         void *self)
{
    auto *output = static_cast<PulseOutput *>(self);
    if (event == output->m_pending.event) {
        output->m_pending.feed->acknowledge();
        output->tryStart();
        output->publish();
    } else if (event == output->m_playing.event) {
        // Samples came after an underrun: the stream asked for more than there was.
        output->m_playing.feed->acknowledge();
        pa_stream *stream = output->m_stream;
        if (stream && pa_stream_get_state(stream) == PA_STREAM_READY) {
            const size_t writable = pa_stream_writable_size(stream);
            if (writable != size_t(-1))
                output->writeMore(stream, writable);
        }
    }
}

void PulseOutput::connectContext()
{
    pa_proplist *props = identity();
    m_context = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(m_loop), kAppName, props);
    pa_proplist_free(props);
    if (!m_context) {
        m_failures.report(SoundFailures::OutOfResources, QStringLiteral("no client context"));
        unwatch(m_pending);
        return;
    }
    pa_context_set_state_callback(m_context, &PulseOutput::onContextState, this);
    m_connecting.start();
    pa_context *context = m_context;
    // The library's default would start a server when none runs; a desk alarm never does.
    if (pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0
        && m_context == context) { // else onContextState has already reported and released it
        m_failures.report(SoundFailures::NoServer, serverError(context));
        unwatch(m_pending);
        releaseContext();
    }
}

void PulseOutput::releaseContext()
{
    if (m_idleDeadline) {
        pa_threaded_mainloop_get_api(m_loop)->time_free(m_idleDeadline);
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

void PulseOutput::tryStart()
{
    SoundFeed *feed = m_pending.feed.get();
    if (!feed)
        return;
    switch (feed->state()) {
    case SoundFeed::State::Opening:
        return;
    case SoundFeed::State::Failed:
        m_failures.report(feed->outOfResources() ? SoundFailures::OutOfResources
                                                 : SoundFailures::Unreadable,
                          feed->failure());
        unwatch(m_pending);
        return;
    case SoundFeed::State::Ready:
        if (feed->atEnd()) {
            m_failures.report(SoundFailures::Unreadable,
                              feed->path() + QStringLiteral(": no samples in the file"));
            unwatch(m_pending);
            return;
        }
        m_failures.clear(SoundFailures::Unreadable);
        m_failures.clear(SoundFailures::OutOfResources);
        if (m_context && pa_context_get_state(m_context) == PA_CONTEXT_READY)
            startStream();
        return; // else onContextState starts it when the context is ready
    }
}

void PulseOutput::startStream()
{
    m_playing = std::exchange(m_pending, Watched());
    const SoundFeed &feed = *m_playing.feed;
    const QByteArray name = QFileInfo(feed.path()).fileName().toUtf8();
    pa_proplist *props = identity();
    // Not "event": desktops mute that role with their alert-sound slider (GNOME's "System
    // Sounds", Plasma's "Notification Sounds"), which must not silence an alarm.
    pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, "alarm");
    pa_proplist_sets(props, PA_PROP_MEDIA_NAME, name.constData());
    m_stream = pa_stream_new_with_proplist(m_context, name.constData(), &feed.sampleSpec(),
                                           &feed.channelMap(), props);
    pa_proplist_free(props);
    if (!m_stream) {
        m_failures.report(SoundFailures::StreamRefused, serverError(m_context));
        unwatch(m_playing);
        return;
    }
    m_started = false;
    pa_stream_set_state_callback(m_stream, &PulseOutput::onStreamState, this);
    pa_stream_set_write_callback(m_stream, &PulseOutput::onWrite, this);
    pa_stream_set_started_callback(m_stream, &PulseOutput::onStarted, this);
    // The library's default asks for 2 s ahead; on PipeWire that starts the sound about
    // 10 ms later than a tenth of a second does, which is still plenty against gaps.
    pa_buffer_attr buffer;
    buffer.maxlength = uint32_t(-1);
    buffer.tlength = uint32_t(pa_usec_to_bytes(kAheadUsec, &feed.sampleSpec()));
    buffer.prebuf = uint32_t(-1);
    buffer.minreq = uint32_t(-1);
    buffer.fragsize = uint32_t(-1);
    // No device named: the server's current default output takes the stream.
    if (pa_stream_connect_playback(m_stream, nullptr, &buffer, PA_STREAM_ADJUST_LATENCY, nullptr,
                                   nullptr)
        < 0) {
        m_failures.report(SoundFailures::StreamRefused, serverError(m_context));
        releaseStream();
        return;
    }
}

void PulseOutput::releaseStream()
{
    unwatch(m_playing);
    for (pa_time_event **deadline : {&m_drainDeadline, &m_stallDeadline}) {
        if (*deadline)
            pa_threaded_mainloop_get_api(m_loop)->time_free(*deadline);
        *deadline = nullptr;
    }
    if (m_stream)
        retire(std::exchange(m_stream, nullptr));
}

// A stream is deleted on the server only once it exists there: one still being created
// is kept until it is, then deleted. Those whose deletion is unanswered are counted by
// m_retiring, which the idle deadline looks at.
void PulseOutput::retire(pa_stream *stream)
{
    pa_stream_set_write_callback(stream, nullptr, nullptr);
    pa_stream_set_started_callback(stream, nullptr, nullptr);
    const bool connected = m_context && pa_context_get_state(m_context) == PA_CONTEXT_READY;
    const pa_stream_state_t state = pa_stream_get_state(stream);
    // Disconnecting also cancels a drain still pending, whose callback then never comes.
    if (connected
        && (state == PA_STREAM_CREATING
            || (state == PA_STREAM_READY && pa_stream_disconnect(stream) >= 0))) {
        pa_stream_set_state_callback(stream, &PulseOutput::onRetiring, this);
        m_retiring.push_back(stream);
        return;
    }
    pa_stream_set_state_callback(stream, nullptr, nullptr);
    pa_stream_unref(stream);
}

void PulseOutput::onRetiring(pa_stream *stream, void *self)
{
    auto *output = static_cast<PulseOutput *>(self);
    switch (pa_stream_get_state(stream)) {
    case PA_STREAM_READY: // created after it was cut off
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

// Written from a buffer of the program's own, which the library copies, rather than into
// pa_stream_begin_write's, which may offer less than one frame.
void PulseOutput::writeMore(pa_stream *stream, size_t bytes)
{
    SoundFeed &feed = *m_playing.feed;
    const size_t frameBytes = feed.frameBytes();
    // A remainder of less than one frame is left for the next request.
    while (bytes >= frameBytes) {
        const size_t frames = bytes / frameBytes;
        m_scratch.resize(frames * feed.sampleSpec().channels);
        const size_t got = feed.take(m_scratch.data(), frames);
        if (got == 0) {
            // None buffered: either the end, or a slow disk the feed's notice comes from.
            if (feed.atEnd())
                finish(stream);
            return;
        }
        if (pa_stream_write(stream, m_scratch.data(), got * frameBytes, nullptr, 0,
                            PA_SEEK_RELATIVE)
            < 0) {
            m_failures.report(SoundFailures::WriteRefused, serverError(m_context));
            releaseStream();
            publish();
            return;
        }
        bytes -= got * frameBytes;
        if (got < frames) {
            if (feed.atEnd())
                finish(stream);
            return;
        }
    }
}

// The whole file is with the server: draining plays out what it still holds (also a
// sound shorter than the server's start threshold), and the stream closes when it has.
void PulseOutput::finish(pa_stream *stream)
{
    unwatch(m_playing);
    if (m_stallDeadline) {
        pa_threaded_mainloop_get_api(m_loop)->time_free(m_stallDeadline);
        m_stallDeadline = nullptr;
    }
    pa_stream_set_write_callback(stream, nullptr, nullptr);
    pa_operation *drain = pa_stream_drain(stream, &PulseOutput::onDrained, this);
    if (!drain) {
        m_failures.report(SoundFailures::DrainFailed, serverError(m_context));
        releaseStream();
        publish();
        return;
    }
    pa_operation_unref(drain);
    if (m_started)
        m_drainDeadline = pa_context_rttime_new(m_context, pa_rtclock_now() + kDrainPatienceUsec,
                                                &PulseOutput::onDrainOverdue, this);
}

// The server has begun to take samples: from now on a silence of the server is a fault,
// not an output that is waking.
void PulseOutput::onStarted(pa_stream *stream, void *self)
{
    auto *output = static_cast<PulseOutput *>(self);
    if (stream != output->m_stream || output->m_started)
        return;
    output->m_started = true;
    // Still fed from its file, or (its feed let go by finish) draining.
    if (output->m_playing.feed && !output->m_stallDeadline)
        output->m_stallDeadline = pa_context_rttime_new(
            output->m_context, pa_rtclock_now() + kStallPatienceUsec, &PulseOutput::onStall, self);
    else if (!output->m_playing.feed && !output->m_drainDeadline)
        output->m_drainDeadline =
            pa_context_rttime_new(output->m_context, pa_rtclock_now() + kDrainPatienceUsec,
                                  &PulseOutput::onDrainOverdue, self);
}

void PulseOutput::onContextState(pa_context *context, void *self)
{
    auto *output = static_cast<PulseOutput *>(self);
    switch (pa_context_get_state(context)) {
    case PA_CONTEXT_READY:
        output->m_failures.clear(SoundFailures::NoServer);
        output->tryStart();
        break;
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
        // The server went away or refused us: this sound stays silent, the next play
        // connects afresh.
        output->m_failures.report(SoundFailures::NoServer, serverError(context));
        output->unwatch(output->m_pending);
        output->releaseStream();
        output->releaseContext();
        break;
    default:
        break;
    }
    output->publish();
}

void PulseOutput::onStreamState(pa_stream *stream, void *self)
{
    auto *output = static_cast<PulseOutput *>(self);
    if (stream != output->m_stream)
        return;
    switch (pa_stream_get_state(stream)) {
    case PA_STREAM_READY:
        output->m_failures.clear(SoundFailures::StreamRefused);
        break;
    case PA_STREAM_FAILED:
        output->m_failures.report(SoundFailures::StreamRefused, serverError(output->m_context));
        [[fallthrough]];
    case PA_STREAM_TERMINATED:
        output->releaseStream();
        output->publish();
        break;
    default:
        break;
    }
}

void PulseOutput::onWrite(pa_stream *stream, size_t bytes, void *self)
{
    auto *output = static_cast<PulseOutput *>(self);
    if (stream != output->m_stream || !output->m_playing.feed)
        return;
    if (output->m_stallDeadline)
        pa_context_rttime_restart(output->m_context, output->m_stallDeadline,
                                  pa_rtclock_now() + kStallPatienceUsec);
    output->writeMore(stream, bytes);
}

void PulseOutput::onStall(pa_mainloop_api *, pa_time_event *event, const struct timeval *,
                          void *self)
{
    auto *output = static_cast<PulseOutput *>(self);
    if (event != output->m_stallDeadline)
        return;
    // Still owed samples (a slow disk): the server is waiting on the file, not stuck.
    const size_t owed = pa_stream_writable_size(output->m_stream);
    if (owed != size_t(-1) && owed >= output->m_playing.feed->frameBytes()) {
        pa_context_rttime_restart(output->m_context, event, pa_rtclock_now() + kStallPatienceUsec);
        return;
    }
    output->m_failures.report(SoundFailures::StreamStalled,
                              QStringLiteral("no request from the server for 2 s; closed"));
    output->releaseStream();
    output->publish();
}

void PulseOutput::onDrained(pa_stream *stream, int success, void *self)
{
    auto *output = static_cast<PulseOutput *>(self);
    if (stream != output->m_stream)
        return;
    if (success)
        output->m_failures.clear(SoundFailures::DrainFailed);
    else
        output->m_failures.report(SoundFailures::DrainFailed, serverError(output->m_context));
    output->releaseStream();
    output->publish();
}

void PulseOutput::onDrainOverdue(pa_mainloop_api *, pa_time_event *event, const struct timeval *,
                                 void *self)
{
    auto *output = static_cast<PulseOutput *>(self);
    if (event != output->m_drainDeadline)
        return;
    output->m_failures.report(SoundFailures::DrainFailed,
                              QStringLiteral("not answered within 2 s; the stream is closed"));
    output->releaseStream();
    output->publish();
}
