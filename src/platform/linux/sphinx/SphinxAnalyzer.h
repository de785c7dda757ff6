#pragma once

#include "SphinxModel.h"
#include "SphinxTranscriber.h"
#include "platform/SpeechService.h"

#include <memory>

namespace talvex {

/// Recognition of one dictation with a loaded model. With partial text wanted, the model's live
/// decoder follows the audio on a thread of its own while the user speaks: its running hypothesis
/// is the volatile text, and each utterance it ends at a pause is final at once, so at the end of
/// the input only the last few frames are left to decode. Without partial text (a recording), the
/// whole input is decoded once it has ended, as one utterance.
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
