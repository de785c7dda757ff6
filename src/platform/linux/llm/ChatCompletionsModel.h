#pragma once

#include "LlmEndpoint.h"
#include "platform/LanguageModelService.h"

#include <QNetworkAccessManager>
#include <QObject>
#include <QStringList>
#include <QElapsedTimer>

#include <chrono>
#include <memory>

namespace talvex {

/// The language model as any OpenAI-compatible chat-completions server on this machine (llama.cpp's
/// server, Ollama, LocalAI, ...). Availability comes from a cache that a background probe of
/// GET {base}/models refreshes when a stale answer is read, so an idle Talvex sends nothing; a
/// rewrite is one POST {base}/chat/completions. Main thread only.
/// Nothing is sent unless the endpoint is a loopback address, and no proxy or redirect is followed.
class ChatCompletionsModel final : public QObject, public LanguageModelService {
    Q_OBJECT
public:
    struct Timing {
        /// A request fails when the server sends nothing for this long (measured from the last
        /// byte received), so a hung server cannot hold a dictation forever.
        std::chrono::milliseconds requestIdleLimit{30000};
        /// The same bound for an availability probe.
        std::chrono::milliseconds probeIdleLimit{5000};
        /// Reading an answer older than this starts a background probe; zero probes only at
        /// construction, after a failed request and on refresh().
        std::chrono::milliseconds probeInterval{10000};
    };

    /// Configured from TALVEX_LLM_URL and TALVEX_LLM_MODEL.
    explicit ChatCompletionsModel(QObject *parent = nullptr);
    /// Configured explicitly (tests, or a caller with its own settings). Starts the first probe.
    ChatCompletionsModel(LlmEndpoint endpoint, Timing timing, QObject *parent = nullptr);
    /// Requests still running finish at once as failed requests.
    ~ChatCompletionsModel() override;

    /// The cached result of the last probe: `notEnabled` when turned off, `unavailable` before the
    /// first probe has answered or when the server cannot be reached, `modelNotReady` when the
    /// server does not list the configured model (or lists none). Never blocks; a stale answer
    /// starts a probe whose result lands in the cache and in availabilityChanged.
    ModelAvailability availability() const override;
    /// True unless the server's entry for the model lists its languages and this one is not among
    /// them (matched by language subtag: "en-US" matches "en").
    bool supportsLocale(const QString &localeIdentifier) const override;
    /// One chat completion: `instructions` as the system message, `prompt` as the user message,
    /// temperature 0, no token limit. The content is the answer as sent, untrimmed; any failure
    /// (turned off, unreachable, HTTP error, malformed answer, silence past the idle limit) comes
    /// back as `error` with no content.
    QCoro::Task<ModelResponse> respond(QString instructions, QString prompt) override;

    /// Probes the server now and yields the availability it leads to (also cached).
    QCoro::Task<ModelAvailability> refresh();

    const LlmEndpoint &endpoint() const { return m_endpoint; }
    /// The model id sent with requests: the configured one, else the first one the server listed
    /// (empty until a probe has listed one).
    QString activeModel() const;

Q_SIGNALS:
    /// The cached availability changed (after a probe), so readiness texts can be recomputed.
    void availabilityChanged(talvex::ModelAvailability availability);

private:
    void startProbe();
    void setAvailability(ModelAvailability availability);

    LlmEndpoint m_endpoint;
    Timing m_timing;
    QNetworkAccessManager m_network;
    QElapsedTimer m_sinceProbe;    ///< since the last probe started
    mutable bool m_probeQueued = false;
    ModelAvailability m_availability = ModelAvailability::unavailable;
    QString m_listedModel;     ///< the id the server lists for the configured (or first) model
    QStringList m_languages;   ///< the model's declared languages; empty = all
    quint64 m_probeCount = 0;  ///< probes started
    quint64 m_probeApplied = 0;///< the newest probe whose answer is in the cache
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true); ///< false once destruction began
};

} // namespace talvex
