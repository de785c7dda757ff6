#include "WritingMode.h"

namespace talvex {

QString writingModeString(WritingMode mode)
{
    switch (mode) {
    case WritingMode::verbatim:
        return QStringLiteral("Verbatim");
    case WritingMode::clean:
        return QStringLiteral("Clean up");
    case WritingMode::notes:
        return QStringLiteral("Notes");
    case WritingMode::email:
        return QStringLiteral("Email");
    }
    return QStringLiteral("Verbatim");
}

std::optional<WritingMode> writingModeFromString(const QString &string)
{
    for (WritingMode mode : allWritingModes) {
        if (string == writingModeString(mode))
            return mode;
    }
    return std::nullopt;
}

std::optional<QString> writingModeInstruction(WritingMode mode)
{
    switch (mode) {
    case WritingMode::verbatim:
        return std::nullopt;
    case WritingMode::clean:
        return QStringLiteral("Remove obvious filler, fix punctuation and casing, and preserve the original "
                              "meaning and voice.");
    case WritingMode::notes:
        return QStringLiteral("Turn the dictation into concise notes. Use bullets where helpful. Preserve all "
                              "facts, names, and action items.");
    case WritingMode::email:
        return QStringLiteral("Format the dictation as a clear email body. Keep the tone and facts; do not "
                              "invent a subject, greeting, or signature.");
    }
    return std::nullopt;
}

QString writingModeDescription(WritingMode mode)
{
    if (auto instruction = writingModeInstruction(mode))
        return *instruction;
    return QStringLiteral("Keep the speech recognizer\u2019s output without an AI rewrite.");
}

} // namespace talvex
