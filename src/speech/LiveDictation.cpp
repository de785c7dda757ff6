#include "LiveDictation.h"

#include "TalvexError.h"
#include "platform/CancellationError.h"
#include "platform/Logging.h"
#include "platform/SteadyClock.h"

#include <utility>

namespace talvex {

namespace {

// The session's background tasks own what they use, so a session dropped while they still run
// leaves nothing dangling.
QCoro::Task<> runAnalysis(std::shared_ptr<Analyzer> analyzer, std::shared_ptr<AnalyzerInputStream> input)
{
    co_await analyzer->start(std::move(input));
}

QCoro::Task<QString> runCollector(std::shared_ptr<Transcriber> module, LocalModels::TextUpdate update,
                                  CancellationToken cancel)
{
    co_return co_await LocalModels::collect(std::move(module), std::move(update), std::move(cancel));
}

// Holds the analyzer until its cancellation has run, whatever happens to the session meanwhile.
QCoro::Task<> cancelAnalysis(std::shared_ptr<Analyzer> analyzer)
{
    co_await analyzer->cancelAndFinishNow();
}

} // namespace

LiveDictation::LiveDictation(SpeechService &speech, std::unique_ptr<AudioEngine> engine, Clock &clock)
    : m_speech(speech), m_engine(std::move(engine)), m_clock(clock)
{
}

LiveDictation::~LiveDictation()
{
    // The engine must not call into a tap that is about to go away.
    m_engine->stop();
    if (m_hasTap)
        m_engine->removeTap();
    if (m_continuation)
        m_continuation->finish();
    // A session dropped while it runs (its owner went away) still ends its recogniser, so the result
    // collector waiting on it finishes and frees what it holds instead of waiting for ever.
    if (m_analyzer && m_resultTask && !m_resultTask->isReady() && !m_resultCancel.isCancelled()) {
        m_resultCancel.cancel();
        cancelAnalysis(m_analyzer);
    }
}

QCoro::Task<bool> LiveDictation::requestMicrophone(AudioEngine &engine)
{
    switch (engine.authorizationStatus()) {
    case MicrophoneAuthorization::authorized:
        co_return true;
    case MicrophoneAuthorization::notDetermined:
        co_return co_await engine.requestAccess();
    case MicrophoneAuthorization::restricted:
    case MicrophoneAuthorization::denied:
        break;
    }
    co_return false;
}

QCoro::Task<> LiveDictation::start(std::shared_ptr<Transcriber> module, QStringList words,
                                   LocalModels::TextUpdate update, Meter meter, CancellationToken cancel)
{
    const AudioFormat input = co_await m_engine->inputFormat();
    if (!(input.sampleRate > 0) || input.channelCount == 0)
        throw TalvexException(TalvexError::microphoneInput);

    const auto format = co_await m_speech.bestAvailableAudioFormat(module, input);
    if (!format)
        throw TalvexException(TalvexError::microphoneInput);
    if (cancel.isCancelled())
        throw CancellationError();

    m_module = module;
    m_analyzer = m_speech.makeAnalyzer(module);

    if (!words.isEmpty()) {
        // The recogniser's model is in use on another thread while the hints load.
        beginWait(Wait::hints);
        std::exception_ptr contextFailure;
        try {
            co_await m_analyzer->setContext(words);
        } catch (...) {
            contextFailure = std::current_exception();
        }
        if (endWait()) {
            co_await m_analyzer->cancelAndFinishNow();
            if (!contextFailure)
                throw CancellationError();
        }
        if (contextFailure)
            std::rethrow_exception(contextFailure);
    }
    if (cancel.isCancelled())
        throw CancellationError();

    m_continuation = std::make_shared<AnalyzerInputStream>(inputQueueCapacity);
    m_engine->setConsumerBacklog([stream = std::weak_ptr(m_continuation)] {
        const auto locked = stream.lock();
        return locked ? locked->pending() : std::size_t{0};
    });
    m_resultTask = runCollector(module, std::move(update), m_resultCancel);

    auto converter = m_engine->makeConverter(input, *format);
    if (!converter)
        throw TalvexException(TalvexError::microphoneInput);

    // The engine holds the tap through its block until removeTap().
    auto tap =
        std::make_shared<AudioTap>(std::move(converter), *format, m_continuation, std::move(meter),
                                   MicrophoneWaveform(input.sampleRate), &SteadyClock::monotonicSeconds);
    m_engine->installTap(tapBufferSize, [tap](const AudioBuffer &buffer) { tap->convert(buffer); });
    m_hasTap = true;

    // The engine connects to the audio server on another thread; no analysis starts for a session
    // stopped meanwhile.
    beginWait(Wait::engine);
    std::exception_ptr engineFailure;
    try {
        co_await m_engine->start();
    } catch (...) {
        engineFailure = std::current_exception();
    }
    if (endWait()) {
        stopCapture();
        if (!engineFailure)
            throw CancellationError();
    }
    if (engineFailure)
        std::rethrow_exception(engineFailure);
    m_started = m_clock.now();
    m_analysisTask = runAnalysis(m_analyzer, m_continuation);
}

QCoro::Task<QString> LiveDictation::finish()
{
    if (!m_analyzer || !m_resultTask || !m_analysisTask || !m_started) {
        co_await cancel();
        throw TalvexException(TalvexError::emptyAudio);
    }
    // Whatever reached the recogniser before the loss is only part of what was said: pasting it
    // would look like a success. The loss is the reason, however short the recording was.
    if (const MicrophoneProblem lost = m_engine->captureLost(); lost != MicrophoneProblem::none) {
        co_await cancel();
        throw CaptureLost(lost);
    }
    if (!(m_clock.now() - *m_started > minimumDuration)) {
        co_await cancel();
        throw TalvexException(TalvexError::emptyAudio);
    }
    stopCapture();
    // Each failure cancels the session before it surfaces; the error is taken out of the catch
    // block first because a coroutine cannot suspend inside one.
    std::exception_ptr failure;
    try {
        co_await *m_analysisTask;
    } catch (...) {
        failure = std::current_exception();
    }
    if (!failure) {
        try {
            co_await m_analyzer->finalizeAndFinishThroughEndOfInput();
        } catch (...) {
            failure = std::current_exception();
        }
    }
    QString transcript;
    if (!failure) {
        try {
            transcript = co_await *m_resultTask;
        } catch (...) {
            failure = std::current_exception();
        }
    }
    if (failure) {
        co_await cancel();
        std::rethrow_exception(failure);
    }
    co_return transcript;
}

QCoro::Task<> LiveDictation::cancel()
{
    stopCapture();
    // The tasks are not awaited: the collector stops at its next result and the analysis ends with
    // the analyzer below.
    m_resultCancel.cancel();
    if (m_analyzer && !deferCancel())
        co_await m_analyzer->cancelAndFinishNow();
}

void LiveDictation::stopCapture()
{
    if (!deferStop()) {
        m_engine->stop();
        if (m_hasTap) {
            m_engine->removeTap();
            m_hasTap = false;
        }
    }
    if (m_continuation)
        m_continuation->finish();
}

bool LiveDictation::endWait()
{
    const bool requested = m_wait == Wait::hintsThenCancel || m_wait == Wait::engineThenStop;
    m_wait = Wait::none;
    return requested;
}

bool LiveDictation::deferStop()
{
    if (m_wait != Wait::engine && m_wait != Wait::engineThenStop)
        return false;
    m_wait = Wait::engineThenStop;
    return true;
}

bool LiveDictation::deferCancel()
{
    if (m_wait != Wait::hints && m_wait != Wait::hintsThenCancel)
        return false;
    m_wait = Wait::hintsThenCancel;
    return true;
}

} // namespace talvex
