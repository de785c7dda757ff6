#pragma once

#include "SphinxModel.h"
#include "SphinxTranscriber.h"
#include "platform/SpeechService.h"

#include <memory>

namespace talvex {

/// Recognition of one dictation with a loaded model. A streaming decoder follows the audio for
/// partial text (volatile results) and ends a segment at each pause; each segment is then decoded
/// as a whole on a second thread while the user keeps talking and becomes a final result. At the
/// end of input only the last segment is left to decode.
class SphinxAnalyzer final : public Analyzer {
  public:
    /// `model` may be null when preparation never loaded one: start then fails with `missing`.
    SphinxAnalyzer(std::shared_ptr<SphinxModel> model, std::shared_ptr<SphinxTranscriber> module,
                   QString missing);
    ~SphinxAnalyzer() override;

    QCoro::Task<> setContext(QStringList contextualStrings) override;
    QCoro::Task<> start(std::shared_ptr<AnalyzerInputStream> input) override;
    QCoro::Task<> finalizeAndFinishThroughEndOfInput() override;
    QCoro::Task<> cancelAndFinishNow() override;

    struct Session;

  private:
    std::shared_ptr<Session> m_session;
    QString m_missing;
};

} // namespace talvex
