#include "ServerFinalTranscriber.h"

#include "speech/LocalModels.h"

namespace talvex {

namespace {

// Owns what it uses: the session may drop the transcriber while this still runs.
QCoro::Task<> relay(std::shared_ptr<Transcriber> onDevice, std::shared_ptr<ResultChannel> results,
                    std::shared_ptr<ServerFinalDictation> dictation)
{
    // The on-device collector builds the running text by the same rules as a dictation without the
    // server, so the overlay shows exactly what it would have shown.
    LocalModels::TextUpdate show = [results](QString text) -> QCoro::Task<> {
        results->push({std::move(text), false});
        co_return;
    };
    QString onDeviceText;
    std::exception_ptr failure;
    try {
        onDeviceText = co_await LocalModels::collect(onDevice, show, dictation->relayCancellation());
    } catch (...) {
        failure = std::current_exception();
    }
    if (failure || dictation->abandoned()) {
        results->finish(failure);
        co_return;
    }
    const TranscriptionOutcome outcome = co_await dictation->serverOutcome();
    if (outcome.text) {
        results->push({*outcome.text, true});
    } else {
        dictation->useOnDevice(outcome);
        results->push({onDeviceText, true});
    }
    results->finish();
}

} // namespace

QCoro::Task<std::optional<SpeechResult>> ServerFinalTranscriber::nextResult()
{
    if (!m_relaying) {
        m_relaying = true;
        relay(m_onDevice, m_results, m_dictation);
    }
    return m_results->next();
}

} // namespace talvex
