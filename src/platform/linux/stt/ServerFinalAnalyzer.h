#pragma once

#include "ServerFinalTranscriber.h"
#include "platform/SpeechService.h"

#include <memory>

namespace talvex {

/// Runs the on-device analyzer of one dictation and keeps a copy of the audio it is given: each
/// buffer is recorded on the way through, and once the input ends the whole recording goes to the
/// transcription server while the on-device recogniser catches up beside it. Should the server's text
/// come first, the on-device analysis is cancelled and not waited for; finalizing waits for the
/// server, and without its text the on-device analysis finalizes as usual and its transcript stands
/// in.
class ServerFinalAnalyzer final : public Analyzer {
  public:
    /// The on-device side gets a queue of this many buffers, like the one the audio tap feeds.
    static constexpr std::size_t forwardCapacity = 128;

    ServerFinalAnalyzer(std::shared_ptr<Analyzer> onDevice, std::shared_ptr<ServerFinalTranscriber> module);
    /// A dictation dropped without finishing or cancelling is abandoned: nothing is sent.
    ~ServerFinalAnalyzer() override;

    QCoro::Task<> setContext(QStringList contextualStrings) override;
    QCoro::Task<> start(std::shared_ptr<AnalyzerInputStream> input) override;
    QCoro::Task<> finalizeAndFinishThroughEndOfInput() override;
    QCoro::Task<> cancelAndFinishNow() override;

  private:
    std::shared_ptr<Analyzer> m_onDevice;
    std::shared_ptr<ServerFinalTranscriber> m_module;
    std::shared_ptr<AnalyzerInputStream> m_forwarded;
    bool m_ended = false;
};

} // namespace talvex
