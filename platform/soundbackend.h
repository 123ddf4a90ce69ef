// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The sound output on the sound server's own client library, libpulse (which PulseAudio
// and PipeWire's pipewire-pulse both serve): one stream per play into the default output.
#pragma once

#include <QElapsedTimer>
#include <QString>

#include <memory>

struct pa_context;
struct pa_mainloop_api;
struct pa_stream;
struct pa_threaded_mainloop;
struct pa_time_event;
class SoundSource;

class PulseOutput
{
public:
    PulseOutput() = default;
    ~PulseOutput();
    PulseOutput(const PulseOutput &) = delete;
    PulseOutput &operator=(const PulseOutput &) = delete;

    // Cuts off the sound still playing and starts source (when not null) from its
    // beginning. Called on the window's thread; waits for nothing but a short lock.
    void play(std::unique_ptr<SoundSource> source, const QString &name);
    // True while a sound is asked for or a stream is open.
    bool isPlaying() const;

private:
    // Everything below runs with the main loop's lock held, on either thread.
    void connectContext();
    void releaseContext();
    void startPending();
    void releaseStream();
    void writeMore(pa_stream *stream, size_t bytes);
    void finish(pa_stream *stream);

    static void onContextState(pa_context *context, void *self);
    static void onStreamState(pa_stream *stream, void *self);
    static void onWrite(pa_stream *stream, size_t bytes, void *self);
    static void onDrained(pa_stream *stream, int success, void *self);
    static void onDrainOverdue(pa_mainloop_api *api, pa_time_event *event,
                               const struct timeval *when, void *self);

    pa_threaded_mainloop *m_loop = nullptr;
    pa_context *m_context = nullptr;
    QElapsedTimer m_connecting;
    pa_stream *m_stream = nullptr;
    pa_time_event *m_drainDeadline = nullptr; // only while a drain is pending
    std::unique_ptr<SoundSource> m_source; // feeds m_stream until the file's end
    std::unique_ptr<SoundSource> m_pending; // waits for the context to be ready
    QString m_pendingName;
};
