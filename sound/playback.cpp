// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// A sound's life, one state at a time:
//   Asked    --the sound thread takes it-->                      Reading
//   Reading  --its file read ahead-->                            Waiting
//   Waiting  --the server begins to play it (started)-->         Playing, or Draining when
//                                                                the whole file is with it
//   Playing  --the file's last sample written-->                 Draining
//   Draining --the server has played it out-->                   Done
// Any state ends in Done on a failure (logged once), in Dropped by a newer play or the
// close, and the first three also by STOP. The window's thread only ever moves a sound to
// Dropped; the sound thread makes every other move, each by a compare-and-swap that fails
// once the sound is dropped, and then lets go of its stream, its reader's events and its
// deadlines. A stream whose creation times out while the connection stays (PipeWire's
// pulse server answers only once its session manager has linked the stream) is asked for
// again for as long as the sound waits, since nothing of it has been heard.
#include "playback.h"

#include "pulseoutput.h"
#include "soundfeed.h"

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/operation.h>
#include <pulse/proplist.h>
#include <pulse/rtclock.h>
#include <pulse/stream.h>

#include <QFileInfo>

namespace {

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

QString serverError(pa_context *context)
{
    return QString::fromUtf8(pa_strerror(pa_context_errno(context)));
}

} // namespace

Playback::Playback(PulseOutput &output, const QString &path)
    : m_output(output)
    , m_path(path)
    , m_feed(SoundFeed::start(path))
{
}

// Everything on the loop was let go of by release() on the sound thread, or never held.
Playback::~Playback()
{
    m_feed->cancel();
}

bool Playback::isOver() const
{
    const State state = m_state.load();
    return state == State::Done || state == State::Dropped;
}

bool Playback::isOpening() const
{
    const State state = m_state.load();
    return (state == State::Asked || state == State::Reading)
        && m_feed->state() == SoundFeed::State::Opening && !m_feed->cancelled();
}

bool Playback::drop()
{
    State state = m_state.load();
    do {
        if (state == State::Done || state == State::Dropped)
            return false;
    } while (!m_state.compare_exchange_weak(state, State::Dropped));
    m_feed->cancel();
    return true;
}

bool Playback::dropUnheard()
{
    State state = m_state.load();
    do {
        if (state != State::Asked && state != State::Reading && state != State::Waiting)
            return false;
    } while (!m_state.compare_exchange_weak(state, State::Dropped));
    m_feed->cancel();
    return true;
}

bool Playback::moveTo(State from, State to)
{
    return m_state.compare_exchange_strong(from, to);
}

bool Playback::end()
{
    State state = m_state.load();
    do {
        if (state == State::Done || state == State::Dropped)
            return false;
    } while (!m_state.compare_exchange_weak(state, State::Done));
    return true;
}

void Playback::fail(SoundFailures::Cause cause, const QString &why)
{
    if (end())
        m_output.failures().report(cause, why);
}

void Playback::begin()
{
    if (!moveTo(State::Asked, State::Reading))
        return;
    // A feed made at the descriptor limit has nothing to watch: it failed at its start.
    if (m_feed->notifier() < 0) {
        fail(SoundFailures::OutOfResources, m_feed->failure());
        return;
    }
    pa_mainloop_api *api = m_output.api();
    m_feedEvent = api->io_new(api, m_feed->notifier(), PA_IO_EVENT_INPUT, &Playback::onFeed, this);
    if (!m_feedEvent) {
        fail(SoundFailures::OutOfResources, QStringLiteral("no loop event for the reader"));
        return;
    }
    advance();
}

void Playback::connectionReady()
{
    advance();
}

bool Playback::survivesConnectionLoss()
{
    const State state = m_state.load();
    if (m_taken || (state != State::Reading && state != State::Waiting))
        return false;
    releaseStream();
    return true;
}

void Playback::advance()
{
    if (m_state.load() == State::Reading) {
        switch (m_feed->state()) {
        case SoundFeed::State::Opening:
            return;
        case SoundFeed::State::Failed:
            fail(m_feed->outOfResources() ? SoundFailures::OutOfResources
                                          : SoundFailures::Unreadable,
                 m_feed->failure());
            return;
        case SoundFeed::State::Ready:
            if (m_feed->atEnd()) {
                fail(SoundFailures::Unreadable,
                     m_path + QStringLiteral(": no samples in the file"));
                return;
            }
            m_output.failures().clear(SoundFailures::Unreadable);
            m_output.failures().clear(SoundFailures::OutOfResources);
            if (!moveTo(State::Reading, State::Waiting))
                return;
            break;
        }
    }
    if (m_state.load() == State::Waiting && !m_stream && m_output.isConnected())
        openStream();
}

void Playback::openStream()
{
    pa_context *context = m_output.context();
    const QByteArray name = QFileInfo(m_path).fileName().toUtf8();
    pa_proplist *props = PulseOutput::identity();
    // Not "event": desktops mute that role with their alert-sound slider (GNOME's "System
    // Sounds", Plasma's "Notification Sounds"), which must not silence an alarm.
    pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, "alarm");
    pa_proplist_sets(props, PA_PROP_MEDIA_NAME, name.constData());
    m_stream = pa_stream_new_with_proplist(context, name.constData(), &m_feed->sampleSpec(),
                                           &m_feed->channelMap(), props);
    pa_proplist_free(props);
    if (!m_stream) {
        fail(SoundFailures::StreamRefused, serverError(context));
        return;
    }
    pa_stream_set_state_callback(m_stream, &Playback::onStreamState, this);
    pa_stream_set_write_callback(m_stream, &Playback::onWrite, this);
    pa_stream_set_started_callback(m_stream, &Playback::onStarted, this);
    // The library's default asks for 2 s ahead; on PipeWire that starts the sound about
    // 10 ms later than a tenth of a second does, which is still plenty against gaps.
    pa_buffer_attr buffer;
    buffer.maxlength = uint32_t(-1);
    buffer.tlength = uint32_t(pa_usec_to_bytes(kAheadUsec, &m_feed->sampleSpec()));
    buffer.prebuf = uint32_t(-1);
    buffer.minreq = uint32_t(-1);
    buffer.fragsize = uint32_t(-1);
    // No device named: the server's current default output takes the stream.
    if (pa_stream_connect_playback(m_stream, nullptr, &buffer, PA_STREAM_ADJUST_LATENCY, nullptr,
                                   nullptr)
        < 0) {
        fail(SoundFailures::StreamRefused, serverError(context));
        releaseStream();
    }
}

void Playback::release()
{
    if (m_feedEvent) {
        m_output.api()->io_free(m_feedEvent);
        m_feedEvent = nullptr;
    }
    m_feed->cancel();
    releaseStream();
}

void Playback::releaseStream()
{
    if (m_drain) {
        // Its callback never comes after this.
        pa_operation_cancel(m_drain);
        pa_operation_unref(std::exchange(m_drain, nullptr));
    }
    freeDeadline(m_stallDeadline);
    freeDeadline(m_drainDeadline);
    if (m_stream)
        m_output.retire(std::exchange(m_stream, nullptr));
}

void Playback::freeDeadline(pa_time_event *&deadline)
{
    if (deadline)
        m_output.api()->time_free(std::exchange(deadline, nullptr));
}

void Playback::armDeadline(pa_time_event *&deadline, pa_usec_t patience,
                           pa_time_event_cb_t callback)
{
    if (!deadline)
        deadline =
            pa_context_rttime_new(m_output.context(), pa_rtclock_now() + patience, callback, this);
}

void Playback::settle()
{
    if (isOver())
        release();
    m_output.soundChanged();
}

// Written from a buffer of the output's, which the library copies, rather than into
// pa_stream_begin_write's, which may offer less than one frame.
void Playback::writeMore(size_t bytes)
{
    const size_t frameBytes = m_feed->frameBytes();
    std::vector<float> &scratch = m_output.scratch();
    // A remainder of less than one frame is left for the next request.
    while (bytes >= frameBytes) {
        const size_t frames = bytes / frameBytes;
        scratch.resize(frames * m_feed->sampleSpec().channels);
        const size_t got = m_feed->take(scratch.data(), frames);
        if (got == 0) {
            // None buffered: either the end, or a slow disk the feed's notice comes from.
            if (m_feed->atEnd())
                finish();
            return;
        }
        m_taken = true;
        if (pa_stream_write(m_stream, scratch.data(), got * frameBytes, nullptr, 0,
                            PA_SEEK_RELATIVE)
            < 0) {
            fail(SoundFailures::WriteRefused, serverError(m_output.context()));
            return;
        }
        bytes -= got * frameBytes;
        if (got < frames) {
            if (m_feed->atEnd())
                finish();
            return;
        }
    }
}

// The whole file is with the server: draining plays out what it still holds (also a
// sound shorter than the server's start threshold), and the sound is done when it has.
void Playback::finish()
{
    m_allWritten = true;
    if (m_feedEvent) {
        m_output.api()->io_free(m_feedEvent);
        m_feedEvent = nullptr;
    }
    freeDeadline(m_stallDeadline);
    pa_stream_set_write_callback(m_stream, nullptr, nullptr);
    m_drain = pa_stream_drain(m_stream, &Playback::onDrained, this);
    if (!m_drain) {
        fail(SoundFailures::DrainFailed, serverError(m_output.context()));
        return;
    }
    if (moveTo(State::Playing, State::Draining))
        armDeadline(m_drainDeadline, kDrainPatienceUsec, &Playback::onDrainOverdue);
    // Else not heard yet: onStarted moves it on.
}

void Playback::onFeed(pa_mainloop_api *, pa_io_event *, int, pa_io_event_flags_t, void *self)
{
    auto *sound = static_cast<Playback *>(self);
    const std::shared_ptr<Playback> keep = sound->shared_from_this();
    sound->m_feed->acknowledge();
    if (sound->m_state.load() == State::Reading) {
        sound->advance();
    } else if (!sound->isOver() && sound->m_stream && !sound->m_allWritten
               && pa_stream_get_state(sound->m_stream) == PA_STREAM_READY) {
        // Samples came after an underrun: the stream asked for more than there was.
        const size_t writable = pa_stream_writable_size(sound->m_stream);
        if (writable != size_t(-1))
            sound->writeMore(writable);
    }
    sound->settle();
}

void Playback::onStreamState(pa_stream *stream, void *self)
{
    auto *sound = static_cast<Playback *>(self);
    if (stream != sound->m_stream)
        return;
    const std::shared_ptr<Playback> keep = sound->shared_from_this();
    SoundFailures &failures = sound->m_output.failures();
    pa_context *context = sound->m_output.context();
    switch (pa_stream_get_state(stream)) {
    case PA_STREAM_READY:
        failures.clear(SoundFailures::StreamRefused);
        failures.clear(SoundFailures::TimedOut);
        break;
    case PA_STREAM_FAILED:
        // Not created within the library's reply timeout, on a connection still there:
        // nothing of the sound has gone to the server, which is asked for a new stream.
        if (pa_context_errno(context) == PA_ERR_TIMEOUT && !sound->m_taken
            && sound->m_state.load() == State::Waiting) {
            failures.report(SoundFailures::TimedOut,
                            QStringLiteral("a stream's creation; asked for again"));
            sound->releaseStream();
            sound->advance();
            break;
        }
        sound->fail(SoundFailures::StreamRefused, serverError(context));
        break;
    case PA_STREAM_TERMINATED:
        sound->end(); // ended by the server
        break;
    default:
        break;
    }
    sound->settle();
}

void Playback::onWrite(pa_stream *stream, size_t bytes, void *self)
{
    auto *sound = static_cast<Playback *>(self);
    if (stream != sound->m_stream)
        return;
    const std::shared_ptr<Playback> keep = sound->shared_from_this();
    if (!sound->isOver() && !sound->m_allWritten) {
        if (sound->m_stallDeadline)
            pa_context_rttime_restart(sound->m_output.context(), sound->m_stallDeadline,
                                      pa_rtclock_now() + kStallPatienceUsec);
        sound->writeMore(bytes);
    }
    sound->settle();
}

// The server has begun to play the sound: it is heard from now on, and a silence of the
// server is a fault, not an output that is waking.
void Playback::onStarted(pa_stream *stream, void *self)
{
    auto *sound = static_cast<Playback *>(self);
    if (stream != sound->m_stream)
        return;
    const std::shared_ptr<Playback> keep = sound->shared_from_this();
    if (sound->m_allWritten) {
        if (sound->moveTo(State::Waiting, State::Draining))
            sound->armDeadline(sound->m_drainDeadline, kDrainPatienceUsec,
                               &Playback::onDrainOverdue);
    } else if (sound->moveTo(State::Waiting, State::Playing)) {
        sound->armDeadline(sound->m_stallDeadline, kStallPatienceUsec, &Playback::onStall);
    }
    sound->settle();
}

void Playback::onDrained(pa_stream *stream, int success, void *self)
{
    auto *sound = static_cast<Playback *>(self);
    if (stream != sound->m_stream)
        return;
    const std::shared_ptr<Playback> keep = sound->shared_from_this();
    pa_operation_unref(std::exchange(sound->m_drain, nullptr));
    if (success) {
        sound->m_output.failures().clear(SoundFailures::DrainFailed);
        sound->end();
    } else {
        sound->fail(SoundFailures::DrainFailed, serverError(sound->m_output.context()));
    }
    sound->settle();
}

void Playback::onStall(pa_mainloop_api *, pa_time_event *event, const struct timeval *, void *self)
{
    auto *sound = static_cast<Playback *>(self);
    if (event != sound->m_stallDeadline)
        return;
    const std::shared_ptr<Playback> keep = sound->shared_from_this();
    // Still owed samples (a slow disk): the server is waiting on the file, not stuck.
    const size_t owed = pa_stream_writable_size(sound->m_stream);
    if (owed != size_t(-1) && owed >= sound->m_feed->frameBytes()) {
        pa_context_rttime_restart(sound->m_output.context(), event,
                                  pa_rtclock_now() + kStallPatienceUsec);
        return;
    }
    sound->fail(SoundFailures::StreamStalled,
                QStringLiteral("no request from the server for 2 s; closed"));
    sound->settle();
}

void Playback::onDrainOverdue(pa_mainloop_api *, pa_time_event *event, const struct timeval *,
                              void *self)
{
    auto *sound = static_cast<Playback *>(self);
    if (event != sound->m_drainDeadline)
        return;
    const std::shared_ptr<Playback> keep = sound->shared_from_this();
    sound->fail(SoundFailures::DrainFailed,
                QStringLiteral("not answered within 2 s; the stream is closed"));
    sound->settle();
}
