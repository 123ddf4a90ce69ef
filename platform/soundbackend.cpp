// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The client library's threaded main loop runs the connection, and every callback, on a
// thread of its own; the window's thread only takes the loop's lock to start or cut off a
// stream, so no wait on the server ever falls on the window. The thread and the
// connection are made at the first play; a connection that failed (server gone or
// restarting) is dropped and made again at the next play, so nothing retries or polls
// while no sound is asked for. Nothing here touches Qt widgets.
#include "soundbackend.h"

#include "soundsource.h"

#include <QLoggingCategory>

#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/proplist.h>
#include <pulse/rtclock.h>
#include <pulse/stream.h>
#include <pulse/thread-mainloop.h>

Q_LOGGING_CATEGORY(lcSound, "tollwick.sound", QtWarningMsg)

namespace {

// A connection still not ready after this long is taken for a server that hangs.
constexpr qint64 kConnectPatienceMs = 2000;
constexpr pa_usec_t kAheadUsec = 100000;
// A drain normally ends within the tenth of a second the stream holds ahead. PipeWire
// 0.3.65 can leave one unanswered after a burst of plays, which would keep the stream,
// and the sound thread, busy for the rest of the run; past this, the stream is closed.
constexpr pa_usec_t kDrainPatienceUsec = 2000000;

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
        LoopLock lock(m_loop);
        m_pending.reset();
        releaseStream();
        releaseContext();
    }
    pa_threaded_mainloop_stop(m_loop);
    pa_threaded_mainloop_free(m_loop);
}

bool PulseOutput::isPlaying() const
{
    if (!m_loop)
        return false;
    LoopLock lock(m_loop);
    return m_stream || m_pending;
}

void PulseOutput::play(std::unique_ptr<SoundSource> source, const QString &name)
{
    if (!m_loop) {
        if (!source)
            return; // nothing plays yet, and nothing to start
        m_loop = pa_threaded_mainloop_new();
        if (!m_loop)
            return;
        pa_threaded_mainloop_set_name(m_loop, "tollwick-sound");
        if (pa_threaded_mainloop_start(m_loop) < 0) {
            pa_threaded_mainloop_free(m_loop);
            m_loop = nullptr;
            return;
        }
    }
    LoopLock lock(m_loop);
    releaseStream();
    m_pending = std::move(source);
    m_pendingName = name;
    if (!m_pending)
        return;
    const pa_context_state_t state =
        m_context ? pa_context_get_state(m_context) : PA_CONTEXT_TERMINATED;
    if (state == PA_CONTEXT_READY) {
        startPending();
    } else if (!PA_CONTEXT_IS_GOOD(state) || m_connecting.elapsed() > kConnectPatienceMs) {
        releaseContext();
        connectContext();
    } // else the context is on its way; onContextState starts the sound when it is ready
}

void PulseOutput::connectContext()
{
    pa_proplist *props = identity();
    m_context = pa_context_new_with_proplist(pa_threaded_mainloop_get_api(m_loop), kAppName, props);
    pa_proplist_free(props);
    if (!m_context) {
        m_pending.reset();
        return;
    }
    pa_context_set_state_callback(m_context, &PulseOutput::onContextState, this);
    m_connecting.start();
    // The library's default would start a server when none runs; a desk alarm never does.
    if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        qCDebug(lcSound) << "no sound server:" << pa_strerror(pa_context_errno(m_context));
        m_pending.reset();
        releaseContext();
    }
}

void PulseOutput::releaseContext()
{
    if (!m_context)
        return;
    pa_context_set_state_callback(m_context, nullptr, nullptr);
    pa_context_disconnect(m_context);
    pa_context_unref(m_context);
    m_context = nullptr;
}

void PulseOutput::startPending()
{
    m_source = std::move(m_pending);
    pa_proplist *props = identity();
    pa_proplist_sets(props, PA_PROP_MEDIA_ROLE, "event");
    pa_proplist_sets(props, PA_PROP_MEDIA_NAME, m_pendingName.toUtf8().constData());
    m_stream = pa_stream_new_with_proplist(m_context, m_pendingName.toUtf8().constData(),
                                           &m_source->sampleSpec(), &m_source->channelMap(), props);
    pa_proplist_free(props);
    if (!m_stream) {
        qCDebug(lcSound) << "stream refused:" << pa_strerror(pa_context_errno(m_context));
        m_source.reset();
        return;
    }
    pa_stream_set_state_callback(m_stream, &PulseOutput::onStreamState, this);
    pa_stream_set_write_callback(m_stream, &PulseOutput::onWrite, this);
    // The library's default asks for 2 s ahead; on PipeWire that starts the sound about
    // 10 ms later than a tenth of a second does, which is still plenty against gaps.
    pa_buffer_attr buffer;
    buffer.maxlength = uint32_t(-1);
    buffer.tlength = uint32_t(pa_usec_to_bytes(kAheadUsec, &m_source->sampleSpec()));
    buffer.prebuf = uint32_t(-1);
    buffer.minreq = uint32_t(-1);
    buffer.fragsize = uint32_t(-1);
    // No device named: the server's current default output takes the stream.
    if (pa_stream_connect_playback(m_stream, nullptr, &buffer, PA_STREAM_ADJUST_LATENCY, nullptr,
                                   nullptr)
        < 0)
        releaseStream();
}

void PulseOutput::releaseStream()
{
    m_source.reset();
    if (m_drainDeadline) {
        pa_threaded_mainloop_get_api(m_loop)->time_free(m_drainDeadline);
        m_drainDeadline = nullptr;
    }
    if (!m_stream)
        return;
    pa_stream_set_state_callback(m_stream, nullptr, nullptr);
    pa_stream_set_write_callback(m_stream, nullptr, nullptr);
    // Also cancels a drain still pending, whose callback then never comes.
    pa_stream_disconnect(m_stream);
    pa_stream_unref(m_stream);
    m_stream = nullptr;
}

void PulseOutput::writeMore(pa_stream *stream, size_t bytes)
{
    const size_t frameBytes = m_source->frameBytes();
    while (bytes >= frameBytes) {
        void *data = nullptr;
        size_t size = bytes;
        if (pa_stream_begin_write(stream, &data, &size) < 0 || !data) {
            releaseStream();
            return;
        }
        const size_t frames = size / frameBytes;
        const size_t got = frames ? m_source->read(static_cast<float *>(data), frames) : 0;
        if (got == 0) {
            pa_stream_cancel_write(stream);
            finish(stream);
            return;
        }
        pa_stream_write(stream, data, got * frameBytes, nullptr, 0, PA_SEEK_RELATIVE);
        if (got < frames) {
            finish(stream);
            return;
        }
        bytes -= got * frameBytes;
    }
}

// The whole file is with the server: draining plays out what it still holds (also a
// sound shorter than the server's start threshold), and the stream closes when it has.
void PulseOutput::finish(pa_stream *stream)
{
    m_source.reset();
    pa_stream_set_write_callback(stream, nullptr, nullptr);
    pa_operation *drain = pa_stream_drain(stream, &PulseOutput::onDrained, this);
    if (!drain) {
        releaseStream();
        return;
    }
    pa_operation_unref(drain);
    m_drainDeadline = pa_context_rttime_new(m_context, pa_rtclock_now() + kDrainPatienceUsec,
                                            &PulseOutput::onDrainOverdue, this);
}

void PulseOutput::onContextState(pa_context *context, void *self)
{
    auto *output = static_cast<PulseOutput *>(self);
    switch (pa_context_get_state(context)) {
    case PA_CONTEXT_READY:
        if (output->m_pending)
            output->startPending();
        break;
    case PA_CONTEXT_FAILED:
    case PA_CONTEXT_TERMINATED:
        // The server went away or refused us: this sound stays silent, the next play
        // connects afresh.
        qCDebug(lcSound) << "sound server lost:" << pa_strerror(pa_context_errno(context));
        output->m_pending.reset();
        output->releaseStream();
        output->releaseContext();
        break;
    default:
        break;
    }
}

void PulseOutput::onStreamState(pa_stream *stream, void *self)
{
    auto *output = static_cast<PulseOutput *>(self);
    const pa_stream_state_t state = pa_stream_get_state(stream);
    if (stream == output->m_stream && (state == PA_STREAM_FAILED || state == PA_STREAM_TERMINATED))
        output->releaseStream();
}

void PulseOutput::onWrite(pa_stream *stream, size_t bytes, void *self)
{
    auto *output = static_cast<PulseOutput *>(self);
    if (stream == output->m_stream && output->m_source)
        output->writeMore(stream, bytes);
}

void PulseOutput::onDrained(pa_stream *stream, int, void *self)
{
    auto *output = static_cast<PulseOutput *>(self);
    if (stream == output->m_stream)
        output->releaseStream();
}

void PulseOutput::onDrainOverdue(pa_mainloop_api *, pa_time_event *event, const struct timeval *,
                                 void *self)
{
    auto *output = static_cast<PulseOutput *>(self);
    if (event != output->m_drainDeadline)
        return;
    qCDebug(lcSound) << "drain not answered; the stream is closed";
    output->releaseStream();
}
