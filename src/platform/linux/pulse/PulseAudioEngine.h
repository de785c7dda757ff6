#pragma once

#include "platform/AudioEngine.h"

#include <QString>
#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

struct pa_threaded_mainloop;
struct pa_context;
struct pa_stream;

namespace talvex {

/// Microphone capture through the PulseAudio client API (also PipeWire's pulse server): 32-bit float
/// at the default source's own rate and channel count, in fixed-size buffers handed to the tap on
/// libpulse's thread, each timed on CLOCK_MONOTONIC.
class PulseAudioEngine final : public AudioEngine {
  public:
    /// `source`: a source name, or empty for the server's default source.
    explicit PulseAudioEngine(QString source = {});
    ~PulseAudioEngine() override;

    MicrophoneAuthorization authorizationStatus() override;
    MicrophoneProblem microphoneProblem() override;
    QCoro::Task<bool> requestAccess() override;
    QCoro::Task<AudioFormat> inputFormat() override;
    std::unique_ptr<AudioConverter> makeConverter(const AudioFormat &from, const AudioFormat &to) override;
    void installTap(std::int64_t bufferSize, TapBlock block) override;
    void removeTap() override;
    QCoro::Task<> start() override;
    void stop() override;
    MicrophoneProblem captureLost() const override { return m_captureLost; }
    void setCaptureLostHandler(std::function<void()> handler) override;

    struct MainloopDeleter {
        void operator()(pa_threaded_mainloop *loop) const;
    };
    struct ContextDeleter {
        void operator()(pa_context *context) const;
    };
    struct StreamDeleter {
        void operator()(pa_stream *stream) const;
    };

  private:
    struct Probe {
        MicrophoneAuthorization authorization = MicrophoneAuthorization::restricted;
        MicrophoneProblem problem = MicrophoneProblem::noSoundServer;
        AudioFormat format;
        QString sourceName;
        QString error;
    };

    // All of these block the calling (worker) thread on the server; bounded by a timeout.
    bool connectLocked(QString &error);
    Probe probeBlocking();
    void startBlocking();
    void onRead();

    QString m_sourceRequest;
    std::unique_ptr<pa_threaded_mainloop, MainloopDeleter> m_loop;
    std::unique_ptr<pa_context, ContextDeleter> m_context;
    std::unique_ptr<pa_stream, StreamDeleter> m_stream;
    AudioFormat m_format;
    QString m_sourceName;

    // Touched on libpulse's thread under the mainloop lock.
    TapBlock m_tap;
    std::int64_t m_bufferFrames = 2048;
    std::vector<float> m_pending;
    std::int64_t m_pendingFrames = 0;
    // Set on libpulse's thread when the recording stream fails; read from any thread.
    std::atomic<MicrophoneProblem> m_captureLost = MicrophoneProblem::none;
    std::function<void()> m_captureLostHandler; // set before start(), called on libpulse's thread
};

} // namespace talvex
