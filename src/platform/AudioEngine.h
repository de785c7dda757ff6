#pragma once

#include "AudioConverter.h"
#include "AudioFormat.h"

#include <QCoro/QCoroTask>
#include <functional>
#include <memory>

namespace talvex {

/// Microphone access, with the ordinal values the permission logic compares against.
enum class MicrophoneAuthorization {
    notDetermined = 0, ///< never asked (does not occur with a plain audio server)
    restricted = 1,    ///< no audio server to ask
    denied = 2,        ///< the server refuses this client
    authorized = 3,    ///< the server accepts the client and has a capture source
};

/// Why the microphone cannot be used, so that each reason gets a sentence the user can act on.
enum class MicrophoneProblem {
    none,            ///< authorized: a server accepts the client and has a capture source
    noSoundServer,   ///< no audio server answered: none runs, or it does not respond
    refused,         ///< the server refuses this client
    noCaptureSource, ///< the server answered but has nothing to record from
};

/// Microphone capture for one dictation: read the input format, install a tap, start and stop.
/// Created per session; also answers the process-wide microphone authorization.
class AudioEngine {
  public:
    /// Called on the engine's own thread, one buffer at a time; must not block.
    using TapBlock = std::function<void(const AudioBuffer &buffer)>;

    virtual ~AudioEngine() = default;

    /// Current microphone authorization. Asks the audio server synchronously; that takes
    /// milliseconds locally and is bounded by a short timeout when the server hangs.
    virtual MicrophoneAuthorization authorizationStatus() = 0;

    /// What stands in the way of capture; `none` exactly when authorizationStatus() is authorized.
    /// Asks the audio server the same way.
    virtual MicrophoneProblem microphoneProblem() = 0;

    /// Asks for access when the question can still be put and answers whether access is granted.
    /// Resumes on the main thread.
    virtual QCoro::Task<bool> requestAccess() = 0;

    /// The capture source's own format. A sample rate of 0 or no channels means there is no usable
    /// source. Resumes on the main thread; never throws.
    virtual QCoro::Task<AudioFormat> inputFormat() = 0;

    /// A converter from `from` to `to`, or null when these formats cannot be converted.
    virtual std::unique_ptr<AudioConverter> makeConverter(const AudioFormat &from, const AudioFormat &to) = 0;

    /// From start() on, delivers buffers of `bufferSize` frames in the input format to `block` on the
    /// engine's thread. One tap at a time.
    virtual void installTap(std::int64_t bufferSize, TapBlock block) = 0;

    /// Stops delivering; when it returns, `block` is no longer running and is released.
    virtual void removeTap() = 0;

    /// Starts capture. Throws PlatformError with the server's reason when capture cannot start.
    /// Resumes on the main thread.
    virtual QCoro::Task<> start() = 0;

    /// Stops capture; no tap call runs after it returns. Stopping a stopped engine does nothing.
    virtual void stop() = 0;

    /// Why the capture that start() began ended by itself, cutting the recording short:
    /// noSoundServer when the server went away, noCaptureSource when the source was removed;
    /// none while capture runs as asked. Any thread may ask.
    virtual MicrophoneProblem captureLost() const { return MicrophoneProblem::none; }

    /// `handler` runs once on the engine's thread when capture ends by itself (see captureLost()),
    /// so a hands-free dictation does not go on recording nothing. Set before start().
    virtual void setCaptureLostHandler(std::function<void()> handler) { (void)handler; }

    /// How many converted buffers wait for the recogniser. Engines that play stored audio as fast as
    /// it is consumed use it to stay just ahead of the recogniser; live sources ignore it.
    virtual void setConsumerBacklog(std::function<std::size_t()> backlog) { (void)backlog; }
};

} // namespace talvex
