#pragma once

#include <QString>
#include <QUrl>
#include <chrono>

namespace talvex {

/// Where the local transcription server lives, which model it should use and how long a dictation
/// waits for it. Deployment settings (TALVEX_STT_URL, TALVEX_STT_MODEL, TALVEX_STT_TIMEOUT), not
/// preferences. Audio must never leave the machine, so only a loopback address is ever enabled;
/// anything else counts as turned off.
struct SttEndpoint final {
    static constexpr std::chrono::milliseconds defaultTimeout{10000};
    /// Beyond this a setting is a typo, not a wish: a dictation would sit in "transcribing" for hours.
    static constexpr std::chrono::milliseconds longestTimeout{600000};

    QUrl baseUrl;  ///< e.g. http://127.0.0.1:8080/v1, without a trailing slash; empty when turned off
    QString model; ///< requested model id; empty = the first one the server lists, if any
    /// A request that has not been answered this long after it was sent has failed.
    std::chrono::milliseconds timeout = defaultTimeout;

    bool enabled() const { return !baseUrl.isEmpty(); }
    /// POST target: {base}/audio/transcriptions.
    QUrl transcriptionsUrl() const;
    /// Availability probe: {base}/models.
    QUrl modelsUrl() const;
    /// "127.0.0.1:8080", for the settings window.
    QString hostAndPort() const;

    /// From explicit values. `url` empty or "off" = turned off; it is the server's base address
    /// ("http://127.0.0.1:8080/v1") or its full transcription address (ending in
    /// "/audio/transcriptions"). A URL that is not http(s) on a loopback host is refused with a
    /// warning (lcStt) and leaves the endpoint off. `timeout` is in seconds; empty = the default, a
    /// value that is not a positive number (or is far too long) is refused with a warning.
    static SttEndpoint fromSettings(const QString &url, const QString &model, const QString &timeout = {});
    /// From TALVEX_STT_URL, TALVEX_STT_MODEL and TALVEX_STT_TIMEOUT.
    static SttEndpoint fromEnvironment();
};

} // namespace talvex
