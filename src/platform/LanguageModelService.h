#pragma once

#include <QCoro/QCoroTask>
#include <QString>

#include <optional>

namespace talvex {

/// Why the local language model cannot be used; chooses the readiness text.
enum class ModelAvailability {
    available,
    deviceNotEligible, ///< this computer cannot run the model at all
    notEnabled,        ///< the user turned rewriting off
    modelNotReady,     ///< the service runs but the model is not there (yet)
    unavailable,       ///< any other reason, e.g. the service is unreachable
};

/// Outcome of one request: the model's answer, or a description of why there is none.
struct ModelResponse {
    std::optional<QString> content; ///< present on success
    QString error;                  ///< why the request failed; empty on success
};

/// The local language model that rewrites transcripts. Only the rewrite and the readiness text use it.
class LanguageModelService {
public:
    virtual ~LanguageModelService() = default;

    /// Current availability. Never blocks: a backend that must probe a server answers from its cache.
    virtual ModelAvailability availability() const = 0;

    /// Whether the model serves text in the language of `localeIdentifier` (e.g. "en-US").
    virtual bool supportsLocale(const QString &localeIdentifier) const = 0;

    /// One fresh conversation with `instructions`, one request with `prompt`, greedy decoding and the
    /// model's default limits. Resumes on the main thread; never throws.
    virtual QCoro::Task<ModelResponse> respond(QString instructions, QString prompt) = 0;
};

} // namespace talvex
