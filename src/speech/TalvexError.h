#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace talvex {

/// The failures the system itself detects on the dictation path and in the library document.
/// The order fixes the ordinal values 0 to 7.
enum class TalvexError : std::uint8_t {
    backupVersion,
    microphone,
    microphoneInput,
    speechUnavailable,
    unsupportedLocale,
    emptyAudio,
    noSpeech,
    audioOverrun,
};

/// The user-facing sentence of each case, shown as the controller's message.
QString errorDescription(TalvexError error);

// The other descriptive properties are absent for every case.
inline std::optional<QString> failureReason(TalvexError) { return std::nullopt; }
inline std::optional<QString> recoverySuggestion(TalvexError) { return std::nullopt; }
inline std::optional<QString> helpAnchor(TalvexError) { return std::nullopt; }

} // namespace talvex

#include <exception>

namespace talvex {

/// Carries a TalvexError through the asynchronous steps that can fail; callers show
/// errorDescription(error()).
class TalvexException final : public std::exception {
public:
    explicit TalvexException(TalvexError error) : m_error(error) {}
    TalvexError error() const { return m_error; }
    const char *what() const noexcept override;

private:
    TalvexError m_error;
};

} // namespace talvex
