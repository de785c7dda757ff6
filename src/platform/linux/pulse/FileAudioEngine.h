#pragma once

#include "WavFile.h"
#include "platform/AudioEngine.h"
#include "platform/Clock.h"

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace talvex {

/// Plays decoded audio into the tap as a microphone would: fixed-size buffers on a thread of its own,
/// either at real-time pace or as fast as the recogniser consumes them. For tests and the transcribe
/// command.
class FileAudioEngine final : public AudioEngine {
  public:
    enum class Pace { realTime, asFastAsConsumed };

    FileAudioEngine(WavAudio audio, Pace pace);
    ~FileAudioEngine() override;

    MicrophoneAuthorization authorizationStatus() override { return MicrophoneAuthorization::authorized; }
    MicrophoneProblem microphoneProblem() override { return MicrophoneProblem::none; }
    QCoro::Task<bool> requestAccess() override;
    QCoro::Task<AudioFormat> inputFormat() override;
    std::unique_ptr<AudioConverter> makeConverter(const AudioFormat &from, const AudioFormat &to) override;
    void installTap(std::int64_t bufferSize, TapBlock block) override;
    void removeTap() override;
    QCoro::Task<> start() override;
    void stop() override;
    void setConsumerBacklog(std::function<std::size_t()> backlog) override;

    /// Resumes on the main thread once every frame went to the tap (or the engine stopped).
    QCoro::Task<> playedToEnd();

    /// Seconds of audio handed to the tap so far.
    double playedSeconds() const;

    /// A clock that runs with the audio rather than the wall: now() advances by each buffer played.
    /// Lets the minimum-duration rule judge the recording's length when playing faster than real time.
    Clock &playbackClock() { return m_clock; }

  private:
    class PlaybackClock final : public Clock {
      public:
        explicit PlaybackClock(const FileAudioEngine &engine) : m_engine(engine) {}
        double now() const override;
        QCoro::Task<bool> sleep(double seconds, CancellationToken token = {}) override;

      private:
        const FileAudioEngine &m_engine;
    };

    void play();

    const WavAudio m_audio;
    const Pace m_pace;
    PlaybackClock m_clock{*this};
    double m_startTime = 0.0;
    bool m_started = false;
    std::shared_ptr<int> m_alive = std::make_shared<int>(0); // for the deferred start of playback

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    TapBlock m_tap;
    std::int64_t m_bufferFrames = 2048;
    std::function<std::size_t()> m_backlog;
    bool m_stopping = false;
    bool m_ended = false;
    std::atomic<std::int64_t> m_framesPlayed{0};
    std::thread m_thread;
};

} // namespace talvex
