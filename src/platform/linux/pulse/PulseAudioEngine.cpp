#include "PulseAudioEngine.h"

#include "SoxrConverter.h"
#include "platform/Logging.h"
#include "platform/OnWorkerThread.h"
#include "platform/PlatformError.h"
#include "platform/SteadyClock.h"

#include <chrono>
#include <cstring>
#include <pulse/pulseaudio.h>

namespace talvex {

void PulseAudioEngine::MainloopDeleter::operator()(pa_threaded_mainloop *loop) const
{
    pa_threaded_mainloop_stop(loop);
    pa_threaded_mainloop_free(loop);
}

void PulseAudioEngine::ContextDeleter::operator()(pa_context *context) const
{
    pa_context_disconnect(context);
    pa_context_unref(context);
}

void PulseAudioEngine::StreamDeleter::operator()(pa_stream *stream) const
{
    pa_stream_set_read_callback(stream, nullptr, nullptr);
    pa_stream_set_state_callback(stream, nullptr, nullptr);
    if (pa_stream_get_state(stream) == PA_STREAM_READY)
        pa_stream_disconnect(stream);
    pa_stream_unref(stream);
}

namespace {

constexpr auto serverTimeout = std::chrono::seconds(3);

// Holds the mainloop lock for a scope; the wait helpers below need it held.
class LoopLock {
  public:
    explicit LoopLock(pa_threaded_mainloop *loop) : m_loop(loop) { pa_threaded_mainloop_lock(m_loop); }
    ~LoopLock() { pa_threaded_mainloop_unlock(m_loop); }
    LoopLock(const LoopLock &) = delete;
    LoopLock &operator=(const LoopLock &) = delete;

  private:
    pa_threaded_mainloop *m_loop;
};

void signalLoop(void *loop)
{
    pa_threaded_mainloop_signal(static_cast<pa_threaded_mainloop *>(loop), 0);
}

// Waits (lock held) until `done` holds or the timeout passes. The state callbacks signal the loop;
// a one-shot timer on the loop marks the deadline and signals it, since the wait itself has no
// timeout. The timer's own flag decides, not a second clock: a wall-clock timer that fires a little
// before a steady-clock deadline would otherwise leave the wait with nothing left to wake it.
template <typename Done> bool waitFor(pa_threaded_mainloop *loop, Done done)
{
    struct Deadline {
        pa_threaded_mainloop *loop;
        bool passed = false;
    } deadline{loop};
    pa_mainloop_api *api = pa_threaded_mainloop_get_api(loop);
    timeval when{};
    pa_timeval_add(pa_gettimeofday(&when),
                   std::chrono::duration_cast<std::chrono::microseconds>(serverTimeout).count());
    pa_time_event *timer = api->time_new(
        api, &when,
        [](pa_mainloop_api *, pa_time_event *, const timeval *, void *data) {
            auto *state = static_cast<Deadline *>(data);
            state->passed = true; // runs on the loop thread with the lock held
            signalLoop(state->loop);
        },
        &deadline);
    bool settled = true;
    while (!done()) {
        if (deadline.passed) {
            settled = false;
            break;
        }
        pa_threaded_mainloop_wait(loop);
    }
    api->time_free(timer);
    return settled;
}

struct SourceLookup {
    pa_threaded_mainloop *loop = nullptr;
    bool done = false;
    bool found = false;
    QString defaultSource;
    pa_sample_spec sampleSpec{};
    QString name;
};

} // namespace

PulseAudioEngine::PulseAudioEngine(QString source) : m_sourceRequest(std::move(source))
{
    // Made here, on the owner's thread, and never replaced: probes and starts run on worker threads
    // while stop() may come from the main thread, so the loop pointer itself must not change under them.
    m_loop.reset(pa_threaded_mainloop_new());
    if (m_loop && pa_threaded_mainloop_start(m_loop.get()) < 0)
        m_loop.reset();
}

PulseAudioEngine::~PulseAudioEngine()
{
    stop();
    if (m_loop) {
        {
            LoopLock lock(m_loop.get());
            m_context.reset();
        }
        m_loop.reset();
    }
}

bool PulseAudioEngine::connectLocked(QString &error)
{
    if (m_context && pa_context_get_state(m_context.get()) == PA_CONTEXT_READY)
        return true;
    m_context.reset();
    pa_mainloop_api *api = pa_threaded_mainloop_get_api(m_loop.get());
    m_context.reset(pa_context_new(api, "Talvex"));
    if (!m_context) {
        error = QStringLiteral("Could not create an audio server connection.");
        return false;
    }
    pa_context_set_state_callback(
        m_context.get(), [](pa_context *, void *loop) { signalLoop(loop); }, m_loop.get());
    // No autospawn: a missing server is an answer, not something to start behind the user's back.
    if (pa_context_connect(m_context.get(), nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        error = QString::fromUtf8(pa_strerror(pa_context_errno(m_context.get())));
        return false;
    }
    const bool settled = waitFor(m_loop.get(), [this] {
        const auto state = pa_context_get_state(m_context.get());
        return state == PA_CONTEXT_READY || !PA_CONTEXT_IS_GOOD(state);
    });
    if (!settled) {
        error = QStringLiteral("The audio server did not answer.");
        return false;
    }
    if (pa_context_get_state(m_context.get()) != PA_CONTEXT_READY) {
        error = QString::fromUtf8(pa_strerror(pa_context_errno(m_context.get())));
        return false;
    }
    return true;
}

PulseAudioEngine::Probe PulseAudioEngine::probeBlocking()
{
    Probe probe;
    if (!m_loop) {
        probe.error = QStringLiteral("Could not start the audio client.");
        return probe;
    }
    LoopLock lock(m_loop.get());
    if (!connectLocked(probe.error)) {
        const int code = m_context ? pa_context_errno(m_context.get()) : PA_ERR_CONNECTIONREFUSED;
        const bool refused = code == PA_ERR_ACCESS || code == PA_ERR_AUTHKEY;
        probe.authorization = refused ? MicrophoneAuthorization::denied : MicrophoneAuthorization::restricted;
        probe.problem = refused ? MicrophoneProblem::refused : MicrophoneProblem::noSoundServer;
        return probe;
    }

    SourceLookup lookup;
    lookup.loop = m_loop.get();
    // A connection kept from an earlier probe may belong to a server that has just gone; its
    // questions then go unanswered, and the context's failure ends the wait.
    const auto serverGone = [this] { return !PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context.get())); };
    const auto answeredOrGone = [&] { return lookup.done || serverGone(); };
    if (m_sourceRequest.isEmpty()) {
        auto *op = pa_context_get_server_info(
            m_context.get(),
            [](pa_context *, const pa_server_info *info, void *data) {
                auto *l = static_cast<SourceLookup *>(data);
                if (info && info->default_source_name)
                    l->defaultSource = QString::fromUtf8(info->default_source_name);
                l->done = true;
                signalLoop(l->loop);
            },
            &lookup);
        if (op) {
            waitFor(m_loop.get(), answeredOrGone);
            pa_operation_unref(op);
        }
    } else {
        lookup.defaultSource = m_sourceRequest;
    }
    if (!lookup.defaultSource.isEmpty()) {
        lookup.done = false;
        const QByteArray name = lookup.defaultSource.toUtf8();
        auto *op = pa_context_get_source_info_by_name(
            m_context.get(), name.constData(),
            [](pa_context *, const pa_source_info *info, int eol, void *data) {
                auto *l = static_cast<SourceLookup *>(data);
                if (info) {
                    l->found = true;
                    l->sampleSpec = info->sample_spec;
                    l->name = QString::fromUtf8(info->name);
                }
                if (eol != 0 || info) {
                    l->done = eol != 0 || l->found;
                    signalLoop(l->loop);
                }
            },
            &lookup);
        if (op) {
            waitFor(m_loop.get(), answeredOrGone);
            pa_operation_unref(op);
        }
    }
    if (!lookup.found && serverGone()) {
        probe.authorization = MicrophoneAuthorization::restricted;
        probe.problem = MicrophoneProblem::noSoundServer;
        probe.error = QString::fromUtf8(pa_strerror(pa_context_errno(m_context.get())));
        return probe;
    }
    if (!lookup.found) {
        // Reachable but nothing to capture from: as good as no server for dictation.
        probe.authorization = MicrophoneAuthorization::restricted;
        probe.problem = MicrophoneProblem::noCaptureSource;
        probe.error = QStringLiteral("The audio server has no capture source.");
        return probe;
    }
    probe.authorization = MicrophoneAuthorization::authorized;
    probe.problem = MicrophoneProblem::none;
    probe.format =
        AudioFormat{static_cast<double>(lookup.sampleSpec.rate), static_cast<int>(lookup.sampleSpec.channels)};
    probe.sourceName = lookup.name;
    return probe;
}

MicrophoneAuthorization PulseAudioEngine::authorizationStatus()
{
    return probeBlocking().authorization;
}

MicrophoneProblem PulseAudioEngine::microphoneProblem()
{
    return probeBlocking().problem;
}

QCoro::Task<bool> PulseAudioEngine::requestAccess()
{
    // The audio server has no consent prompt: access is what the server grants.
    auto probing = onWorkerThread([this] { return probeBlocking().authorization; });
    const auto authorization = co_await probing;
    co_return authorization == MicrophoneAuthorization::authorized;
}

QCoro::Task<AudioFormat> PulseAudioEngine::inputFormat()
{
    auto probing = onWorkerThread([this] { return probeBlocking(); });
    const Probe probe = co_await probing;
    if (probe.authorization != MicrophoneAuthorization::authorized) {
        qCWarning(lcAudio) << "No usable capture source:" << probe.error;
        co_return AudioFormat{};
    }
    m_format = probe.format;
    m_sourceName = probe.sourceName;
    co_return m_format;
}

std::unique_ptr<AudioConverter> PulseAudioEngine::makeConverter(const AudioFormat &from,
                                                                const AudioFormat &to)
{
    return SoxrConverter::create(from, to);
}

void PulseAudioEngine::installTap(std::int64_t bufferSize, TapBlock block)
{
    auto install = [&] {
        m_tap = std::move(block);
        m_bufferFrames = bufferSize;
        m_pendingFrames = 0;
    };
    if (m_loop) {
        LoopLock lock(m_loop.get());
        install();
    } else {
        install();
    }
}

void PulseAudioEngine::removeTap()
{
    TapBlock released;
    if (m_loop) {
        LoopLock lock(m_loop.get());
        released = std::move(m_tap);
        m_tap = nullptr;
    } else {
        released = std::move(m_tap);
        m_tap = nullptr;
    }
}

QCoro::Task<> PulseAudioEngine::start()
{
    auto starting = onWorkerThread([this] { startBlocking(); });
    co_await starting;
}

void PulseAudioEngine::startBlocking()
{
    if (!(m_format.sampleRate > 0) || m_format.channelCount <= 0) {
        const Probe probe = probeBlocking();
        if (probe.authorization != MicrophoneAuthorization::authorized)
            throw PlatformError(probe.error.isEmpty() ? QStringLiteral("No audio server is running.")
                                                      : probe.error);
        m_format = probe.format;
        m_sourceName = probe.sourceName;
    }
    if (!m_loop)
        throw PlatformError(QStringLiteral("Could not start the audio client."));
    LoopLock lock(m_loop.get());
    QString error;
    if (!connectLocked(error))
        throw PlatformError(error);

    pa_sample_spec sampleSpec{};
    sampleSpec.format = PA_SAMPLE_FLOAT32NE;
    sampleSpec.rate = static_cast<std::uint32_t>(m_format.sampleRate);
    sampleSpec.channels = static_cast<std::uint8_t>(m_format.channelCount);
    m_stream.reset(pa_stream_new(m_context.get(), "Dictation", &sampleSpec, nullptr));
    if (!m_stream)
        throw PlatformError(QString::fromUtf8(pa_strerror(pa_context_errno(m_context.get()))));

    m_pending.assign(static_cast<std::size_t>(m_bufferFrames * m_format.channelCount), 0.0f);
    m_pendingFrames = 0;
    m_captureLost = MicrophoneProblem::none;
    // A stream fails when its server goes away (its context fails with it) or its source is
    // removed; a stream stopped by stop() has its callbacks removed first, so only a loss is noted.
    pa_stream_set_state_callback(
        m_stream.get(),
        [](pa_stream *stream, void *self) {
            auto *engine = static_cast<PulseAudioEngine *>(self);
            if (pa_stream_get_state(stream) == PA_STREAM_FAILED) {
                const bool serverGone =
                    !PA_CONTEXT_IS_GOOD(pa_context_get_state(pa_stream_get_context(stream)));
                engine->m_captureLost =
                    serverGone ? MicrophoneProblem::noSoundServer : MicrophoneProblem::noCaptureSource;
                qCWarning(lcAudio) << "The recording stream failed:"
                                   << (serverGone ? "the sound server went away" : "its source was removed");
                if (engine->m_captureLostHandler)
                    engine->m_captureLostHandler();
            }
            signalLoop(engine->m_loop.get());
        },
        this);
    pa_stream_set_read_callback(
        m_stream.get(),
        [](pa_stream *, std::size_t, void *self) { static_cast<PulseAudioEngine *>(self)->onRead(); }, this);

    pa_buffer_attr attributes{};
    attributes.maxlength = static_cast<std::uint32_t>(-1);
    attributes.fragsize = static_cast<std::uint32_t>(m_bufferFrames * m_format.channelCount * sizeof(float));
    const QByteArray source = m_sourceName.toUtf8();
    const auto flags = static_cast<pa_stream_flags_t>(
        PA_STREAM_ADJUST_LATENCY | PA_STREAM_INTERPOLATE_TIMING | PA_STREAM_AUTO_TIMING_UPDATE);
    if (pa_stream_connect_record(m_stream.get(), source.isEmpty() ? nullptr : source.constData(), &attributes,
                                 flags) < 0)
        throw PlatformError(QString::fromUtf8(pa_strerror(pa_context_errno(m_context.get()))));
    const bool settled = waitFor(m_loop.get(), [this] {
        const auto state = pa_stream_get_state(m_stream.get());
        return state == PA_STREAM_READY || !PA_STREAM_IS_GOOD(state);
    });
    if (!settled || pa_stream_get_state(m_stream.get()) != PA_STREAM_READY) {
        const QString reason = settled ? QString::fromUtf8(pa_strerror(pa_context_errno(m_context.get())))
                                       : QStringLiteral("The audio server did not start the recording.");
        m_stream.reset();
        throw PlatformError(reason);
    }
}

void PulseAudioEngine::setCaptureLostHandler(std::function<void()> handler)
{
    m_captureLostHandler = std::move(handler);
}

void PulseAudioEngine::onRead()
{
    pa_stream *stream = m_stream.get();
    const std::size_t frameBytes = static_cast<std::size_t>(m_format.channelCount) * sizeof(float);
    const void *data = nullptr;
    std::size_t bytes = 0;
    while (pa_stream_readable_size(stream) > 0) {
        if (pa_stream_peek(stream, &data, &bytes) < 0 || bytes == 0)
            return;
        // Time of the end of this fragment: now minus how long ago the source captured it.
        pa_usec_t latency = 0;
        int negative = 0;
        double endTime = SteadyClock::monotonicSeconds();
        if (pa_stream_get_latency(stream, &latency, &negative) == 0 && !negative)
            endTime -= static_cast<double>(latency) * 1e-6;
        const auto frames = static_cast<std::int64_t>(bytes / frameBytes);
        std::int64_t offset = 0;
        while (offset < frames) {
            const std::int64_t take = std::min(frames - offset, m_bufferFrames - m_pendingFrames);
            float *target = m_pending.data() + m_pendingFrames * m_format.channelCount;
            const auto count = static_cast<std::size_t>(take * m_format.channelCount);
            if (data) // a hole in the stream reads as silence
                std::memcpy(target, static_cast<const float *>(data) + offset * m_format.channelCount,
                            count * sizeof(float));
            else
                std::fill(target, target + count, 0.0f);
            m_pendingFrames += take;
            offset += take;
            if (m_pendingFrames == m_bufferFrames) {
                const double start =
                    endTime - static_cast<double>(frames - offset + m_bufferFrames) / m_format.sampleRate;
                if (m_tap)
                    m_tap(AudioBuffer{m_format, m_bufferFrames, m_pending.data(), start});
                m_pendingFrames = 0;
            }
        }
        pa_stream_drop(stream);
    }
}

void PulseAudioEngine::stop()
{
    if (!m_loop)
        return;
    // The stream is made under the loop lock on a worker thread; look at it only under the lock too.
    LoopLock lock(m_loop.get());
    m_stream.reset();
}

} // namespace talvex
