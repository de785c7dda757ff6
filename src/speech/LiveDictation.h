#pragma once

#include "AudioTap.h"
#include "LocalModels.h"
#include "WaveformFrame.h"
#include "platform/AudioEngine.h"
#include "platform/CancellationToken.h"
#include "platform/Clock.h"
#include "platform/SpeechService.h"

#include <QCoro/QCoroTask>
#include <QString>
#include <QStringList>
#include <exception>
#include <functional>
#include <memory>
#include <optional>

namespace talvex {

/// The recording was cut short because the audio engine lost its capture (`problem` says how).
class CaptureLost final : public std::exception {
  public:
    explicit CaptureLost(MicrophoneProblem problem) : m_problem(problem) {}
    MicrophoneProblem problem() const { return m_problem; }
    const char *what() const noexcept override { return "capture lost"; }

  private:
    MicrophoneProblem m_problem;
};

/// One recording: opens the microphone, streams converted audio into the recogniser, reports the
/// running text and waveform frames, and on finish hands back the final transcript. Main thread only;
/// used for one dictation, then dropped. Its operations suspend on other threads' work, so the owner
/// keeps it alive (e.g. in a shared_ptr held by the running task) until they have returned; the
/// background recognition it started owns what it uses and may outlive it.
///
/// Stopping and cancelling while start() waits on another thread: twice start() hands a part of the
/// session to another thread, the analyzer while it loads the vocabulary hints and the audio engine
/// while it starts. That part must not be touched until the wait ends, so stopCapture() and cancel()
/// only record the request for it (`m_wait`); when the wait ends, start() carries the request out and
/// ends with the cancellation error. Every other part is stopped at once.
class LiveDictation final {
  public:
    using Meter = AudioTap::Meter;
    static constexpr std::int64_t tapBufferSize = 2048;
    static constexpr std::size_t inputQueueCapacity = 128;
    static constexpr double minimumDuration = 0.2;

    LiveDictation(SpeechService &speech, std::unique_ptr<AudioEngine> engine, Clock &clock);
    ~LiveDictation();
    LiveDictation(const LiveDictation &) = delete;
    LiveDictation &operator=(const LiveDictation &) = delete;

    /// Whether microphone access is granted, asking if the question was never put.
    static QCoro::Task<bool> requestMicrophone(AudioEngine &engine);

    /// Starts capture and analysis with `module` (made for the prepared locale) and the vocabulary
    /// hints `words`. `update` gets the running text (on the main thread, in order, never
    /// overlapping); `meter` gets waveform frames on the audio thread. Returns when audio flows.
    /// Throws TalvexException, PlatformError, or CancellationError when `cancel` fired at one of its
    /// two check points or cancel() ran while the hints were applied or the engine was starting.
    /// After a failure the caller calls cancel().
    QCoro::Task<> start(std::shared_ptr<Transcriber> module, QStringList words,
                        LocalModels::TextUpdate update, Meter meter, CancellationToken cancel = {});

    /// Stops recording, lets the recogniser finish and returns the trimmed transcript (possibly
    /// empty). Throws emptyAudio when the session never fully started or ran 0.2 s or less, or the
    /// analysis' failure (e.g. audioOverrun); the session is cancelled before any failure surfaces.
    QCoro::Task<QString> finish();

    /// Stops everything and discards results. Never throws; safe on a session that never started.
    /// While start() is applying the hints, the analyzer is cancelled by start() once they are in.
    QCoro::Task<> cancel();

    /// Stops the microphone and ends the input stream normally. While the engine is still starting,
    /// the engine part waits until its start returns.
    void stopCapture();

    /// After finish(): the recogniser's sentence about a final text that came from a fallback, if any.
    /// `handler` runs once, on the audio thread, when the recording ends by itself (the sound
    /// server went away); finish() then fails with CaptureLost. Set before start().
    void setCaptureLostHandler(std::function<void()> handler) { m_engine->setCaptureLostHandler(std::move(handler)); }

    std::optional<QString> finalNote() const { return m_module ? m_module->finalNote() : std::nullopt; }

    /// For tests and diagnostics.
    bool hasTap() const { return m_hasTap; }
    bool isStarted() const { return m_started.has_value(); }

  private:
    SpeechService &m_speech;
    const std::unique_ptr<AudioEngine> m_engine;
    Clock &m_clock;
    std::shared_ptr<Transcriber> m_module;
    std::shared_ptr<Analyzer> m_analyzer;
    std::shared_ptr<AnalyzerInputStream> m_continuation;
    std::optional<QCoro::Task<QString>> m_resultTask;
    std::optional<QCoro::Task<>> m_analysisTask;
    std::optional<double> m_started;
    bool m_hasTap = false;
    CancellationToken m_resultCancel;

    /// What start() waits for on another thread, and whether a request for that part arrived meanwhile.
    enum class Wait { none, hints, hintsThenCancel, engine, engineThenStop };
    Wait m_wait = Wait::none;
    // The transitions of m_wait, all of them.
    void beginWait(Wait part) { m_wait = part; }
    /// Ends the wait; true when a stop or cancel arrived during it and start() must carry it out.
    bool endWait();
    /// While the engine starts, records the stop for start() and returns true; otherwise false.
    bool deferStop();
    /// While the hints load, records the cancel for start() and returns true; otherwise false.
    bool deferCancel();
};

} // namespace talvex
