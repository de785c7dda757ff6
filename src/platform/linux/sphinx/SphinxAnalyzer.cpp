#include "SphinxAnalyzer.h"

#include "CepstralMeanEstimate.h"
#include "TrailingQuiet.h"
#include "platform/Logging.h"
#include "platform/OnWorkerThread.h"
#include "platform/PlatformError.h"

#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <ctime>
#include <malloc.h>
#include <mutex>
#include <pocketsphinx.h>

namespace talvex {

namespace {

// Partial text is refreshed every this many input buffers (about 0.17 s of 48 kHz capture).
constexpr int partialInterval = 4;

// Speech frames (100 a second) a decoder without a carried mean waits for before it starts, to
// normalise by their mean: fewer gave noticeably more errors on short utterances; more hold back
// more audio, which a dictation shorter than that then decodes after its end.
constexpr int estimateFrames = 80;

// Once the audio has ended, the quiet after the last word is decoded only this far (100 ms): the
// search spends 10 to 35 ms on each capture buffer of it, right when the user waits for the text.
// Less cut into fading last words. A frame is quiet this far below the loudest one: at 45 dB the
// fading tails of some voices kept most of the quiet, at 35 dB a decaying vowel lost its end. With
// these, the test recordings decode as before and synthetic speech as well or slightly better.
constexpr std::size_t keptQuietSamples = 1600;
constexpr double quietDecibels = 40.0;

QString hypothesis(ps_decoder_t *decoder)
{
    std::int32_t score = 0;
    const char *text = ps_get_hyp(decoder, &score);
    return text ? QString::fromUtf8(text).simplified() : QString();
}

std::int16_t toPcm16(float sample)
{
    const float scaled = std::nearbyint(sample * 32767.0f);
    return static_cast<std::int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
}

// This thread's CPU time in milliseconds.
double threadCpuMs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
}

// Wall and CPU time of this thread since it was made: the two apart tell decoding that is slow from
// decoding that waits for a core.
struct Stopwatch {
    std::chrono::steady_clock::time_point wall = std::chrono::steady_clock::now();
    double cpu = threadCpuMs();

    double wallMs() const
    {
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - wall).count();
    }
    double cpuMs() const { return threadCpuMs() - cpu; }
};

std::vector<std::int16_t> toPcm16(const PcmBuffer &buffer)
{
    const auto count = static_cast<std::size_t>(buffer.frameLength * buffer.format.channelCount);
    std::vector<std::int16_t> pcm(count);
    for (std::size_t i = 0; i < count; ++i)
        pcm[i] = toPcm16(buffer.samples[i]);
    return pcm;
}

} // namespace

/// Shared by the analyzer and the input thread; whichever is last frees it.
///
/// Threads and what each owns:
/// - The input thread (a worker of its own, for as long as start() is awaited) runs readInput(): it
///   alone pops the audio feed, converts it and drives the decoder, and it alone pushes results to
///   the channel: partial text and each utterance's final text as the live decoder produces them, or
///   the whole recording's text once the feed has ended.
/// - The main thread only sets flags and waits: setContext() stores the hints, which the input
///   thread puts into the dictionary before it decodes; finalize and cancel below.
/// The model (its decoders and the dictionary) belongs to one session at a time, from acquireModel()
/// to releaseModel(); the next dictation's acquire waits for it.
///
/// Locks: `mutex` guards the model hand-over flag and the input thread's progress flags, and
/// `changed` signals their change. `cancelled` is atomic so the input thread can read it between
/// buffers; cancelAndFinishNow() sets it under `mutex`, where the input thread checks it once on
/// starting, so that the two agree on who hands the model back. `vocabulary` is written before
/// start() runs and only read after. `lastVolatile` belongs to the input thread. `model` and `module`
/// never change after construction.
///
/// Ending: finalizeAndFinishThroughEndOfInput() relies on the audio feed having ended. The input thread
/// then decodes what is left, pushes the last final result, sets `inputDone` and hands the model
/// back; the finalize waits for `inputDone` and only then finishes the result channel, behind every
/// result already pushed. cancelAndFinishNow() sets `cancelled` and abandons the channel: the input
/// thread stops at its next buffer or at the end of the feed and hands the model back, so the decoder
/// is never in use when the next dictation gets it. When the input thread has not started by then, it
/// never touches the model, and cancel hands the model back itself.
struct SphinxAnalyzer::Session {
    std::shared_ptr<SphinxModel> model;
    std::shared_ptr<SphinxTranscriber> module;

    std::mutex mutex;
    std::condition_variable changed;
    bool holdsModel = false;
    QStringList vocabulary;    // this dictation's hints, from setContext
    bool startCalled = false;  // start() has handed the feed to the input thread
    bool inputStarted = false; // the input thread went past its cancel check
    bool inputDone = false;
    std::atomic<bool> cancelled{false};

    QString lastVolatile;

    ~Session() { releaseModel(); }

    void acquireModel()
    {
        {
            std::lock_guard lock(mutex);
            if (holdsModel)
                return;
        }
        model->acquire(); // may wait for the previous dictation to end
        std::lock_guard lock(mutex);
        holdsModel = true;
    }

    void releaseModelLocked()
    {
        if (holdsModel) {
            holdsModel = false;
            model->release();
        }
    }

    void releaseModel()
    {
        std::lock_guard lock(mutex);
        releaseModelLocked();
    }

    void pushVolatile(const QString &text)
    {
        if (text == lastVolatile)
            return;
        lastVolatile = text;
        module->channel()->push({text, false});
    }

    void pushFinal(const QString &text)
    {
        if (!text.isEmpty())
            module->channel()->push({text, true});
        lastVolatile.clear(); // the final replaced what was shown
    }

    void finishInput()
    {
        {
            std::lock_guard lock(mutex);
            inputDone = true;
        }
        changed.notify_all();
    }

    /// The live decoder through the feed: partial text while an utterance runs, its final text when a
    /// pause ends it. Returns the feed's error, if it ended with one.
    std::exception_ptr followLive(AnalyzerInputStream &input, ps_decoder_t *decoder)
    {
        std::exception_ptr failure;
        bool inUtterance = ps_start_utt(decoder) >= 0;
        bool wasInSpeech = false;
        int buffersSincePartial = 0;
        TrailingQuiet trailing(keptQuietSamples, quietDecibels);
        // `bufferEnds`: the slice is the last of a capture buffer; pauses and partial text are looked
        // at per buffer, as they come.
        auto feed = [&](std::span<const std::int16_t> pcm, bool bufferEnds) {
            if (!inUtterance)
                return;
            ps_process_raw(decoder, pcm.data(), pcm.size(), FALSE, FALSE);
            trailing.fed(pcm);
            if (!bufferEnds)
                return;
            const bool inSpeech = ps_get_in_speech(decoder) != 0;
            if (wasInSpeech && !inSpeech) {
                // A pause ended the utterance: its text is final now, while the user goes on.
                ps_end_utt(decoder);
                pushFinal(hypothesis(decoder));
                inUtterance = ps_start_utt(decoder) >= 0;
                buffersSincePartial = 0;
            } else if (inSpeech && ++buffersSincePartial >= partialInterval) {
                buffersSincePartial = 0;
                pushVolatile(hypothesis(decoder));
            }
            wasInSpeech = inSpeech;
        };
        // What is left when the audio has ended, up to a little of the quiet after the last word.
        auto feedEnd = [&](const std::vector<std::vector<std::int16_t>> &pieces) {
            std::vector<std::int16_t> all;
            for (const auto &piece : pieces)
                all.insert(all.end(), piece.begin(), piece.end());
            std::size_t left = trailing.worthDecoding(all);
            qCDebug(lcSpeech, "The end: %zu of %zu samples decoded", left, all.size());
            for (const auto &piece : pieces) {
                if (left == 0)
                    break;
                const std::size_t count = std::min(left, piece.size());
                feed(std::span(piece).first(count), true);
                left -= count;
            }
        };
        // Without a mean carried from earlier dictations, the first frames of speech give one; the
        // audio waits until then (the decoder catches up in a fraction of that time).
        std::optional<CepstralMeanEstimate> estimate;
        if (!model->hasChannelMean())
            estimate.emplace(decoder);
        std::vector<std::vector<std::int16_t>> held;
        auto startFromEstimate = [&](bool atEnd) {
            model->setChannelMean(estimate->mean());
            estimate.reset();
            if (atEnd)
                feedEnd(held);
            else
                for (const auto &pcm : held)
                    feed(pcm, true);
            held.clear();
        };
        // Once the audio has ended, what is left of it, from the frame where the end was seen; it
        // goes to feedEnd.
        std::vector<std::vector<std::int16_t>> rest;
        // Feeds `pcm` a frame at a time while the audio goes on.
        auto feedWhileOpen = [&](const std::vector<std::int16_t> &pcm) {
            const std::span<const std::int16_t> all(pcm);
            for (std::size_t offset = 0; offset < all.size(); offset += TrailingQuiet::frameSamples) {
                if (input.hasEnded()) {
                    rest.emplace_back(all.begin() + std::ptrdiff_t(offset), all.end());
                    return;
                }
                const std::size_t count = std::min(TrailingQuiet::frameSamples, all.size() - offset);
                feed(all.subspan(offset, count), offset + count == all.size());
            }
        };

        // How far the decoder fell behind the audio, for the diagnostic line at the end.
        std::size_t mostWaiting = 0;
        std::size_t waitingAtEnd = 0;
        double seconds = 0;
        double lastBuffer = 0; // ms
        double lastBufferCpu = 0;
        while (!cancelled) {
            auto element = input.pop();
            if (auto *error = std::get_if<std::exception_ptr>(&element)) {
                failure = *error;
                break;
            }
            if (std::holds_alternative<AnalyzerInputStream::End>(element)) {
                qCDebug(lcSpeech, "The audio ended; the last buffer took %.0f ms to decode (%.0f ms of CPU)",
                        lastBuffer, lastBufferCpu);
                break;
            }
            waitingAtEnd = input.pending();
            mostWaiting = std::max(mostWaiting, waitingAtEnd);
            seconds += double(std::get<PcmBuffer>(element).frameLength) / 16000.0;
            std::vector<std::int16_t> pcm = toPcm16(std::get<PcmBuffer>(element));
            if (!rest.empty()) {
                rest.push_back(std::move(pcm));
                continue;
            }
            if (!estimate) {
                const Stopwatch fed;
                feedWhileOpen(pcm);
                lastBuffer = fed.wallMs();
                lastBufferCpu = fed.cpuMs();
                continue;
            }
            estimate->add(pcm.data(), pcm.size());
            held.push_back(std::move(pcm));
            if (estimate->frames() >= estimateFrames)
                startFromEstimate(false);
        }
        const bool completed = !cancelled && !failure;
        const Stopwatch ending;
        const bool estimated = estimate.has_value();
        if (completed && estimate)
            startFromEstimate(true); // a short dictation: whatever speech it had gives the mean
        else if (completed && !rest.empty())
            feedEnd(rest);
        // The utterance ends even when abandoned: the next dictation starts a new one on this decoder.
        if (inUtterance) {
            ps_end_utt(decoder);
            if (completed)
                pushFinal(hypothesis(decoder));
        }
        if (!completed)
            return failure;
        qCDebug(lcSpeech,
                "Recognition ended: %.1f s of audio; buffers waiting: %zu at the last, %zu at most; the end "
                "took %.0f ms (%.0f ms of CPU)%s",
                seconds, waitingAtEnd, mostWaiting,
                ending.wallMs(), ending.cpuMs(),
                estimated ? " with the normalisation estimated at the end" : "");
        model->keepChannelMean();
        return failure;
    }

    /// The whole feed, then its text as one utterance normalised by its own mean, as a batch decoder
    /// gives it. Returns the feed's error, if it ended with one.
    std::exception_ptr decodeWhole(AnalyzerInputStream &input, ps_decoder_t *decoder)
    {
        std::vector<std::int16_t> audio;
        while (!cancelled) {
            auto element = input.pop();
            if (auto *error = std::get_if<std::exception_ptr>(&element))
                return *error;
            if (std::holds_alternative<AnalyzerInputStream::End>(element))
                break;
            const std::vector<std::int16_t> pcm = toPcm16(std::get<PcmBuffer>(element));
            audio.insert(audio.end(), pcm.begin(), pcm.end());
        }
        if (cancelled || audio.empty())
            return nullptr;
        ps_start_stream(decoder); // the noise estimate too starts afresh for each recording
        if (ps_start_utt(decoder) < 0) {
            qCWarning(lcSpeech) << "The decoder could not start an utterance";
            return nullptr;
        }
        ps_process_raw(decoder, audio.data(), audio.size(), FALSE, TRUE);
        ps_end_utt(decoder);
        pushFinal(hypothesis(decoder));
        return nullptr;
    }

    void readInput(const std::shared_ptr<AnalyzerInputStream> &input)
    {
        {
            std::lock_guard lock(mutex);
            if (cancelled) {
                inputDone = true; // cancel saw no input thread and handed the model back itself
                changed.notify_all();
                return;
            }
            inputStarted = true;
        }
        acquireModel();
        const bool live = module->volatileResults();
        const auto use = live ? SphinxNormalisation::live : SphinxNormalisation::whole;
        std::exception_ptr failure;
        // Without hints this takes out the words earlier dictations added.
        const QStringList added = model->useVocabulary(vocabulary, use);
        if (!vocabulary.isEmpty())
            qCDebug(lcSpeech) << "Vocabulary words added to the dictionary:" << added.size();
        // A changed vocabulary rebuilds the search and frees the old one, and each dictation frees
        // what it allocated; the C library keeps such memory for itself until asked (measured: a few
        // vocabulary changes left 20 MiB more resident). Hand it back now, before the audio.
        malloc_trim(0);
        if (ps_decoder_t *decoder = live ? model->live() : model->whole())
            failure = live ? followLive(*input, decoder) : decodeWhole(*input, decoder);
        else
            failure = std::make_exception_ptr(PlatformError(
                QStringLiteral("The speech model for %1 could not be loaded.").arg(model->files().locale)));
        finishInput();
        releaseModel();
        if (failure)
            std::rethrow_exception(failure);
    }
};

SphinxAnalyzer::SphinxAnalyzer(std::shared_ptr<SphinxModel> model, std::shared_ptr<SphinxTranscriber> module,
                               QString missing)
    : m_session(std::make_shared<Session>()), m_missing(std::move(missing))
{
    m_session->model = std::move(model);
    m_session->module = std::move(module);
}

SphinxAnalyzer::~SphinxAnalyzer()
{
    // A session dropped without finishing stops its input thread at the next buffer.
    m_session->cancelled = true;
    m_session->changed.notify_all();
}

QCoro::Task<> SphinxAnalyzer::setContext(QStringList contextualStrings)
{
    if (!m_session->model)
        throw PlatformError(m_missing);
    // The input thread takes them in before it decodes: a changed vocabulary rebuilds the decoder's
    // search (a few tenths of a second), which would otherwise hold up the start of the recording.
    // The audio waits in the feed meanwhile, and the decoder soon catches up.
    m_session->vocabulary = std::move(contextualStrings);
    co_return;
}

QCoro::Task<> SphinxAnalyzer::start(std::shared_ptr<AnalyzerInputStream> input)
{
    if (!m_session->model)
        throw PlatformError(m_missing);
    auto session = m_session;
    {
        std::lock_guard lock(session->mutex);
        session->startCalled = true;
    }
    auto reading = onWorkerThread([session, input] { session->readInput(input); });
    co_await reading;
}

QCoro::Task<> SphinxAnalyzer::finalizeAndFinishThroughEndOfInput()
{
    auto session = m_session;
    bool done = false;
    {
        std::lock_guard lock(session->mutex);
        done = session->inputDone || !session->startCalled;
    }
    if (!done) {
        auto waiting = onWorkerThread([session] {
            std::unique_lock lock(session->mutex);
            session->changed.wait(lock, [&] { return session->inputDone; });
        });
        co_await waiting;
    }
    // Queued behind every result the input thread pushed, so nothing is lost.
    session->module->channel()->finish();
}

QCoro::Task<> SphinxAnalyzer::cancelAndFinishNow()
{
    {
        std::lock_guard lock(m_session->mutex);
        m_session->cancelled = true;
        // No input thread will take the model later once it sees the flag; one that has not got
        // past its check yet never touches it.
        if (!m_session->inputStarted)
            m_session->releaseModelLocked();
    }
    m_session->changed.notify_all();
    m_session->module->channel()->abandon();
    co_return;
}

} // namespace talvex
