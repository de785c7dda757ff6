#include "SphinxAnalyzer.h"

#include "platform/Logging.h"
#include "platform/OnWorkerThread.h"
#include "platform/PlatformError.h"

#include <atomic>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <pocketsphinx.h>
#include <thread>

namespace talvex {

namespace {

// Partial text is refreshed every this many input buffers (about 0.17 s of 48 kHz capture).
constexpr int partialInterval = 4;

// Audio the streaming decoder must have followed before the last segment began for its own text of
// that segment to be trusted as final. Its running normalisation starts from the model's defaults; after a
// few seconds of this microphone and speaker it gives what decoding the segment whole gives (on the test
// recordings: identical for all but one, against 5 x more errors cold). The recogniser keeps that
// normalisation from one dictation to the next.
constexpr double warmStreamingSeconds = 5.0;

// One pause-ended piece of the recording, waiting for the segment decoder, unless the streaming
// decoder's text for it is already final.
struct Segment {
    std::vector<std::int16_t> audio;
    std::optional<QString> decoded;
};

QString hypothesis(ps_decoder_t *decoder)
{
    std::int32_t score = 0;
    const char *text = ps_get_hyp(decoder, &score);
    return text ? QString::fromUtf8(text).simplified() : QString();
}

QString joinWords(const QStringList &pieces)
{
    QStringList nonEmpty;
    for (const auto &piece : pieces)
        if (!piece.isEmpty())
            nonEmpty << piece;
    return nonEmpty.join(QLatin1Char(' '));
}

std::int16_t toPcm16(float sample)
{
    const float scaled = std::nearbyint(sample * 32767.0f);
    return static_cast<std::int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
}

} // namespace

/// Shared by the analyzer, the input thread and the segment thread; whichever is last frees it.
///
/// Threads and what each owns:
/// - The input thread (a pool worker, for as long as start() is awaited) runs readInput(): it alone
///   pops the audio feed, converts it and drives the streaming decoder, publishes partial text and
///   cuts a segment at each pause. It starts the segment thread once it holds the model.
/// - The segment thread (detached) runs decodeSegments(): it alone drives the segment decoder,
///   decoding the queued segments whole, in order, and publishing each as a final result. It hands
///   the model back when it ends.
/// - The main thread only sets flags and waits: setContext() changes the dictionary on a worker before
///   either thread exists; finalize and cancel below.
/// The model (both decoders and the dictionary) belongs to one session at a time, from
/// acquireModel() to releaseModel(); the next dictation's acquire waits for it.
///
/// Locks: `mutex` guards the model hand-over flag, the segment queue and the three progress flags, and
/// `changed` signals any change of them. `emitMutex` guards the text being shown (pending live
/// segments, the partial, the last volatile text) and keeps the pushes to the result channel in order.
/// `cancelled` is read without a lock. `vocabularySet` is written before start() runs and only read
/// after. `model` and `module` never change after construction.
///
/// Ending: finalizeAndFinishThroughEndOfInput() relies on the audio feed having ended. The input thread
/// then cuts the last segment and sets `inputDone`; the segment thread drains the queue, hands the
/// model back and sets `segmentsDone`; the waiting worker wakes and only then finishes the result
/// channel, behind every result already pushed. cancelAndFinishNow() sets `cancelled` and abandons the
/// channel: the input thread stops at its next buffer or at the end of the feed, the segment thread
/// stops taking segments but keeps the model until `inputDone`, so the streaming decoder is never in
/// use when the next dictation gets it. A session whose threads never started hands the model back at
/// once.
struct SphinxAnalyzer::Session {
    std::shared_ptr<SphinxModel> model;
    std::shared_ptr<SphinxTranscriber> module;

    std::mutex mutex;
    std::condition_variable changed;
    bool holdsModel = false;
    bool vocabularySet = false; // by setContext; without hints start clears earlier dictations' words
    std::deque<Segment> segments; // waiting for the segment decoder, in order
    bool inputDone = false;
    bool segmentThreadRunning = false;
    bool segmentsDone = false;
    std::atomic<bool> cancelled{false};

    // Result emission, in order: what each pending segment looked like live, and the current partial.
    std::mutex emitMutex;
    std::deque<QString> pendingLive;
    QString partial;
    QString lastVolatile;

    ~Session() { releaseModel(); }

    void acquireModel()
    {
        {
            std::lock_guard lock(mutex);
            if (holdsModel)
                return;
        }
        model->acquire(); // may wait for the previous dictation's last segment
        std::lock_guard lock(mutex);
        holdsModel = true;
    }

    void releaseModel()
    {
        std::lock_guard lock(mutex);
        if (holdsModel) {
            holdsModel = false;
            model->release();
        }
    }

    void emitVolatileLocked()
    {
        QStringList pieces(pendingLive.begin(), pendingLive.end());
        pieces << partial;
        const QString text = joinWords(pieces);
        if (text == lastVolatile)
            return;
        lastVolatile = text;
        module->channel()->push({text, false});
    }

    void partialChanged(const QString &text)
    {
        std::lock_guard lock(emitMutex);
        partial = text;
        emitVolatileLocked();
    }

    void segmentCut(const QString &liveText, std::vector<std::int16_t> audio, bool liveTextIsFinal = false)
    {
        {
            std::lock_guard lock(emitMutex);
            pendingLive.push_back(liveText);
            partial.clear();
            emitVolatileLocked();
        }
        {
            std::lock_guard lock(mutex);
            segments.push_back({std::move(audio), liveTextIsFinal ? std::optional(liveText) : std::nullopt});
        }
        changed.notify_all();
    }

    void segmentDecoded(const QString &text)
    {
        std::lock_guard lock(emitMutex);
        if (!pendingLive.empty())
            pendingLive.pop_front();
        if (!text.isEmpty())
            module->channel()->push({text, true});
        lastVolatile.clear(); // the final replaced what was shown; show the rest again
        emitVolatileLocked();
    }

    void finishInput()
    {
        {
            std::lock_guard lock(mutex);
            inputDone = true;
        }
        changed.notify_all();
    }

    // The segment thread: decodes each segment whole, in order, until input is done and none is left.
    void decodeSegments()
    {
        ps_decoder_t *decoder = model->segments();
        for (;;) {
            Segment segment;
            {
                std::unique_lock lock(mutex);
                // Even when cancelled, the model is handed back only once the input thread is done
                // with the streaming decoder, so the next dictation never shares a decoder.
                changed.wait(lock, [this] { return (!segments.empty() && !cancelled) || inputDone; });
                if (cancelled || segments.empty())
                    break;
                segment = std::move(segments.front());
                segments.pop_front();
            }
            const auto &audio = segment.audio;
            QString text;
            if (segment.decoded) {
                text = *segment.decoded;
            } else if (ps_start_utt(decoder) >= 0) {
                ps_process_raw(decoder, audio.data(), audio.size(), FALSE, TRUE);
                ps_end_utt(decoder);
                text = hypothesis(decoder);
            } else {
                qCWarning(lcSpeech) << "The segment decoder could not start an utterance";
            }
            if (!cancelled)
                segmentDecoded(text);
        }
        releaseModel();
        {
            std::lock_guard lock(mutex);
            segmentsDone = true;
            segmentThreadRunning = false;
        }
        changed.notify_all();
    }

    // The input thread: follows the audio with the streaming decoder and cuts segments at pauses.
    void readInput(const std::shared_ptr<AnalyzerInputStream> &input, const std::shared_ptr<Session> &self)
    {
        acquireModel();
        if (!vocabularySet)
            model->useVocabulary({}, module->volatileResults());
        {
            std::lock_guard lock(mutex);
            segmentThreadRunning = true;
        }
        std::thread([self] { self->decodeSegments(); }).detach();

        const bool partials = module->volatileResults();
        ps_decoder_t *decoder = partials ? model->streaming() : nullptr;
        std::exception_ptr failure;
        bool inUtterance = decoder && ps_start_utt(decoder) >= 0;
        // How much audio the streaming decoder had followed when the current segment began: its
        // normalisation must have been settled for the whole segment, not only its end.
        double streamedAtSegmentStart = model->streamedSeconds();
        bool wasInSpeech = false;
        int buffersSincePartial = 0;
        std::vector<std::int16_t> segment;
        std::vector<std::int16_t> pcm;
        while (!cancelled) {
            auto element = input->pop();
            if (auto *error = std::get_if<std::exception_ptr>(&element)) {
                failure = *error;
                break;
            }
            if (std::holds_alternative<AnalyzerInputStream::End>(element))
                break;
            const auto &buffer = std::get<PcmBuffer>(element);
            const auto count = static_cast<std::size_t>(buffer.frameLength * buffer.format.channelCount);
            pcm.resize(count);
            for (std::size_t i = 0; i < count; ++i)
                pcm[i] = toPcm16(buffer.samples[i]);
            segment.insert(segment.end(), pcm.begin(), pcm.end());
            // Without partial text nobody waits for early finals either: the whole recording becomes
            // one segment, decoded once, as a batch decoder would.
            if (!inUtterance)
                continue;
            ps_process_raw(decoder, pcm.data(), pcm.size(), FALSE, FALSE);
            model->addStreamedSeconds(double(pcm.size()) / 16000.0);
            const bool inSpeech = ps_get_in_speech(decoder) != 0;
            if (wasInSpeech && !inSpeech) {
                // A pause ended the segment: hand it to the segment decoder and start afresh.
                ps_end_utt(decoder);
                segmentCut(hypothesis(decoder), std::move(segment));
                segment = {};
                inUtterance = ps_start_utt(decoder) >= 0;
                streamedAtSegmentStart = model->streamedSeconds();
                buffersSincePartial = 0;
            } else if (inSpeech && ++buffersSincePartial >= partialInterval) {
                buffersSincePartial = 0;
                partialChanged(hypothesis(decoder));
            }
            wasInSpeech = inSpeech;
        }
        QString liveText;
        const bool inUtteranceAtEnd = inUtterance;
        if (inUtterance) {
            ps_end_utt(decoder);
            liveText = hypothesis(decoder);
        }
        // Whatever follows the last pause is the last segment. It is decoded even when the streaming
        // decoder's voice detection has not caught up yet: a last word right at the end of the audio
        // would otherwise be lost. Silence costs little, the segment decoder skips it.
        // Decoding it whole now would hold the transcript back by a good part of its length; once
        // the streaming decoder is warm its own text is as good, and ready at once.
        if (!cancelled && !failure && !segment.empty())
            segmentCut(liveText, std::move(segment),
                       inUtteranceAtEnd && streamedAtSegmentStart >= warmStreamingSeconds);
        finishInput();
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
    // A session dropped without finishing stops its threads at their next check.
    m_session->cancelled = true;
    m_session->changed.notify_all();
}

QCoro::Task<> SphinxAnalyzer::setContext(QStringList contextualStrings)
{
    if (!m_session->model)
        throw PlatformError(m_missing);
    auto session = m_session;
    auto adding = onWorkerThread([session, contextualStrings] {
        session->acquireModel();
        session->vocabularySet = true;
        return session->model->useVocabulary(contextualStrings, session->module->volatileResults());
    });
    const QStringList added = co_await adding;
    qCDebug(lcSpeech) << "Vocabulary words added to the dictionary:" << added.size();
}

QCoro::Task<> SphinxAnalyzer::start(std::shared_ptr<AnalyzerInputStream> input)
{
    if (!m_session->model)
        throw PlatformError(m_missing);
    auto session = m_session;
    auto reading = onWorkerThread([session, input] { session->readInput(input, session); });
    co_await reading;
}

QCoro::Task<> SphinxAnalyzer::finalizeAndFinishThroughEndOfInput()
{
    auto session = m_session;
    auto waiting = onWorkerThread([session] {
        std::unique_lock lock(session->mutex);
        session->changed.wait(lock, [&] { return session->segmentsDone || !session->segmentThreadRunning; });
    });
    co_await waiting;
    // Queued behind every result the segment thread pushed, so nothing is lost.
    session->module->channel()->finish();
}

QCoro::Task<> SphinxAnalyzer::cancelAndFinishNow()
{
    m_session->cancelled = true;
    m_session->changed.notify_all();
    m_session->module->channel()->abandon();
    // The model is free again once the threads see the flag; a session that never started frees it now.
    bool threadsRunning = false;
    {
        std::lock_guard lock(m_session->mutex);
        threadsRunning = m_session->segmentThreadRunning;
    }
    if (!threadsRunning && !m_session->segmentsDone) {
        // No input thread can take it later: start() is not called after cancel.
        m_session->releaseModel();
    }
    co_return;
}

} // namespace talvex
