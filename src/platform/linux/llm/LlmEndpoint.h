#pragma once

#include <QString>
#include <QUrl>

namespace talvex {

/// Where the local chat-completions server lives and which model it should use. A deployment
/// setting (TALVEX_LLM_URL, TALVEX_LLM_MODEL), not a preference. Transcripts must never leave the
/// machine, so only a loopback base URL is ever enabled; anything else counts as turned off.
struct LlmEndpoint final {
    static constexpr auto defaultUrl = "http://127.0.0.1:11434/v1";

    QUrl baseUrl;  ///< normalised, without a trailing slash; empty when turned off
    QString model; ///< requested model id; empty = whatever the server lists first

    bool enabled() const { return !baseUrl.isEmpty(); }
    /// `baseUrl` joined with `endpoint` ("models", "chat/completions").
    QUrl resolve(const QString &endpoint) const;

    /// From explicit values: `url` empty = the default, "off" = turned off. A URL that is not
    /// http(s) on a loopback host is refused with a warning (lcLlm) and leaves the endpoint off.
    static LlmEndpoint fromSettings(const QString &url, const QString &model);
    /// From TALVEX_LLM_URL and TALVEX_LLM_MODEL.
    static LlmEndpoint fromEnvironment();

    /// 127.0.0.0/8, ::1 (also IPv4-mapped) or "localhost"; a name that would need a resolver is not.
    static bool isLoopbackHost(const QString &host);
};

} // namespace talvex
