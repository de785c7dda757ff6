#pragma once

#include "ServerFinalDictation.h"
#include "platform/ResultChannel.h"
#include "platform/SpeechService.h"

#include <memory>

namespace talvex {

/// The transcriber of one dictation whose final text comes from the transcription server. While
/// the user speaks, the on-device transcriber's running text (its finals joined, its latest partial
/// after them) arrives as volatile results, exactly as the on-device recogniser alone would show it;
/// when its results end, one final result follows: the server's text, or the on-device transcript
/// with a note saying why.
class ServerFinalTranscriber final : public Transcriber {
  public:
    ServerFinalTranscriber(std::shared_ptr<Transcriber> onDevice,
                           std::shared_ptr<ServerFinalDictation> dictation)
        : m_onDevice(std::move(onDevice)), m_dictation(std::move(dictation))
    {
    }

    QString locale() const override { return m_onDevice->locale(); }
    QCoro::Task<std::optional<SpeechResult>> nextResult() override;
    std::optional<QString> finalNote() const override { return m_dictation->note(); }

    const std::shared_ptr<Transcriber> &onDevice() const { return m_onDevice; }
    const std::shared_ptr<ServerFinalDictation> &dictation() const { return m_dictation; }
    /// Ends the results at once, dropping those not yet read. Any thread.
    void abandonResults() { m_results->abandon(); }

  private:
    std::shared_ptr<Transcriber> m_onDevice;
    std::shared_ptr<ServerFinalDictation> m_dictation;
    std::shared_ptr<ResultChannel> m_results = ResultChannel::create();
    bool m_relaying = false;
};

} // namespace talvex
