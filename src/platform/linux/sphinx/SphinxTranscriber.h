#pragma once

#include "platform/ResultChannel.h"
#include "platform/SpeechService.h"

namespace talvex {

/// A transcriber module for one locale; its results come from the analyzer that serves it.
class SphinxTranscriber final : public Transcriber {
  public:
    SphinxTranscriber(QString locale, bool volatileResults)
        : m_locale(std::move(locale)), m_volatileResults(volatileResults)
    {
    }

    QString locale() const override { return m_locale; }
    QCoro::Task<std::optional<SpeechResult>> nextResult() override { return m_channel->next(); }

    /// Whether partial text is wanted; without it the streaming decoder only detects pauses.
    bool volatileResults() const { return m_volatileResults; }

    /// Where the analyzer puts results; any thread.
    const std::shared_ptr<ResultChannel> &channel() const { return m_channel; }

  private:
    QString m_locale;
    bool m_volatileResults;
    std::shared_ptr<ResultChannel> m_channel = ResultChannel::create();
};

} // namespace talvex
