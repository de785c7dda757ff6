#pragma once

#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace talvex {

/// How a transcript is rewritten before delivery. The order is the order of pickers and lists.
enum class WritingMode : std::uint8_t {
    verbatim,
    clean,
    notes,
    email,
};

inline constexpr std::array<WritingMode, 4> allWritingModes = {
    WritingMode::verbatim, WritingMode::clean, WritingMode::notes, WritingMode::email};

/// The stored form, which is also the on-screen title: "Verbatim", "Clean up", "Notes", "Email".
QString writingModeString(WritingMode mode);

/// Reads a stored form. Only the four exact strings are accepted (case-sensitive).
std::optional<WritingMode> writingModeFromString(const QString &string);

/// The rewrite task given to the language model; nothing for verbatim, which is never rewritten.
std::optional<QString> writingModeInstruction(WritingMode mode);

/// The sentence shown under the mode in Settings: the instruction, or the verbatim sentence.
QString writingModeDescription(WritingMode mode);

} // namespace talvex
