#include "ServerFinalAnalyzer.h"

#include "platform/OnWorkerThread.h"

#include <chrono>
#include <thread>

namespace talvex {

namespace {

// The input thread: records every buffer and hands it on to the on-device analyzer. When that side
// is a whole queue behind, it waits for room instead of dropping audio, so the tap's own queue fills
// and reports the overrun as it would without the server. Returns the error the input ended with.
std::exception_ptr forwardInput(AnalyzerInputStream &input, AnalyzerInputStream &forwarded,
                                ServerFinalDictation &dictation)
{
    for (;;) {
        auto element = input.pop();
        if (auto *buffer = std::get_if<PcmBuffer>(&element)) {
            if (!dictation.abandoned())
                dictation.audio().append(*buffer);
            while (forwarded.pending() >= ServerFinalAnalyzer::forwardCapacity && !forwarded.hasEnded())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
            forwarded.yield(std::move(*buffer));
            continue;
        }
        if (auto *error = std::get_if<std::exception_ptr>(&element)) {
            forwarded.finish(*error);
            return *error;
        }
        forwarded.finish();
        return nullptr;
    }
}

struct AnalysisEnd {
    std::exception_ptr failure; ///< null when the analysis ended normally
};

// Once the on-device analysis has ended nobody reads its queue: end it, so the input thread never
// waits for room that will not come.
QCoro::Task<AnalysisEnd> watchAnalysis(QCoro::Task<> analysis, std::shared_ptr<AnalyzerInputStream> forwarded,
                                       std::shared_ptr<ServerFinalDictation> dictation)
{
    AnalysisEnd end;
    try {
        co_await analysis;
    } catch (...) {
        end.failure = std::current_exception();
    }
    forwarded->finish();
    dictation->analysisEnded();
    co_return end;
}

} // namespace

ServerFinalAnalyzer::ServerFinalAnalyzer(std::shared_ptr<Analyzer> onDevice,
                                         std::shared_ptr<ServerFinalTranscriber> module)
    : m_onDevice(std::move(onDevice)), m_module(std::move(module))
{
}

ServerFinalAnalyzer::~ServerFinalAnalyzer()
{
    if (m_ended)
        return;
    m_module->dictation()->abandon();
    m_module->abandonResults();
    if (m_forwarded)
        m_forwarded->finish();
    m_onDevice->cancelAndFinishNow(); // runs on by itself; its results end with it
}

QCoro::Task<> ServerFinalAnalyzer::setContext(QStringList contextualStrings)
{
    m_module->dictation()->setHints(contextualStrings);
    co_await m_onDevice->setContext(std::move(contextualStrings));
}

QCoro::Task<> ServerFinalAnalyzer::start(std::shared_ptr<AnalyzerInputStream> input)
{
    auto forwarded = std::make_shared<AnalyzerInputStream>(forwardCapacity);
    m_forwarded = forwarded;
    auto dictation = m_module->dictation();
    auto analysis = watchAnalysis(m_onDevice->start(forwarded), forwarded, dictation);
    auto copying = onWorkerThread(
        [input, forwarded, dictation] { return forwardInput(*input, *forwarded, *dictation); });
    const std::exception_ptr inputError = co_await copying;
    // The server works while the on-device recogniser catches up with the audio. Should the server's
    // text come first, the rest of the on-device analysis would only delay it.
    if (inputError)
        dictation->abandon();
    else
        dictation->audioComplete();
    auto onDevice = m_onDevice;
    if (co_await dictation->serverTextFirst()) {
        // The on-device analysis winds down by itself; nothing waits for it.
        co_await onDevice->cancelAndFinishNow();
        co_return;
    }
    const AnalysisEnd end = co_await analysis;
    if (end.failure)
        std::rethrow_exception(end.failure);
}

QCoro::Task<> ServerFinalAnalyzer::finalizeAndFinishThroughEndOfInput()
{
    m_ended = true;
    auto onDevice = m_onDevice;
    const TranscriptionOutcome outcome = co_await m_module->dictation()->serverOutcome();
    if (outcome.text)
        co_await onDevice->cancelAndFinishNow();
    else
        co_await onDevice->finalizeAndFinishThroughEndOfInput();
}

QCoro::Task<> ServerFinalAnalyzer::cancelAndFinishNow()
{
    m_ended = true;
    m_module->dictation()->abandon();
    m_module->abandonResults();
    if (m_forwarded)
        m_forwarded->finish();
    auto onDevice = m_onDevice;
    co_await onDevice->cancelAndFinishNow();
}

} // namespace talvex
