#pragma once

#include <QString>
#include <chrono>
#include <optional>

namespace talvex {

/// Why the transcription server gave no usable text.
enum class TranscriptionFailure {
    none,
    turnedOff,   ///< no loopback server configured (nothing was sent)
    unreachable, ///< refused or dropped connection
    httpError,   ///< an answer with a status other than 2xx (redirects included: they are not followed)
    malformed,   ///< not a JSON object with a "text" string, or too large
    empty,       ///< the text holds nothing but whitespace
    timedOut,    ///< no whole answer within the bound
    unsendable,  ///< the recording itself could not be sent (too long, broken)
    cancelled,   ///< the dictation was abandoned
};

/// The server's text, or why there is none.
struct TranscriptionOutcome {
    std::optional<QString> text; ///< as the server sent it, untrimmed; present only when usable
    TranscriptionFailure failure = TranscriptionFailure::none;
    QString detail; ///< for the log: what exactly went wrong; never transcript text

    static TranscriptionOutcome failed(TranscriptionFailure failure, QString detail)
    {
        return {std::nullopt, failure, std::move(detail)};
    }
};

/// The one sentence the user reads when the on-device transcript stands in for the server's, or
/// nothing when no note is due (success, not configured, abandoned). `bound` is the request's limit.
std::optional<QString> fallbackNote(TranscriptionFailure failure, std::chrono::milliseconds bound);

} // namespace talvex
