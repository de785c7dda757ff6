#include "TalvexError.h"

#include <QByteArray>

#include <array>

namespace talvex {

QString errorDescription(TalvexError error)
{
    switch (error) {
    case TalvexError::backupVersion:
        return QStringLiteral("This backup was created by a different version of Talvex.");
    case TalvexError::microphone:
        return QStringLiteral(u"Allow Talvex in Settings → Privacy & Security → Microphone to dictate.");
    case TalvexError::microphoneInput:
        return QStringLiteral("Talvex could not start the microphone. Check your input device in Sound settings.");
    case TalvexError::speechUnavailable:
        return QStringLiteral("On-device speech recognition is unavailable on this computer.");
    case TalvexError::unsupportedLocale:
        return QStringLiteral("On-device speech recognition does not support that dictation language on this computer.");
    case TalvexError::emptyAudio:
        return QStringLiteral("No audio was captured. Hold the shortcut a little longer and try again.");
    case TalvexError::noSpeech:
        return QStringLiteral("Speech recognition did not detect any words.");
    case TalvexError::audioOverrun:
        return QStringLiteral("The speech model could not keep up with the microphone.");
    }
    return {};
}

} // namespace talvex

namespace talvex {

const char *TalvexException::what() const noexcept
{
    static const std::array<QByteArray, 8> messages = [] {
        std::array<QByteArray, 8> all;
        for (std::size_t i = 0; i < all.size(); ++i)
            all[i] = errorDescription(static_cast<TalvexError>(i)).toUtf8();
        return all;
    }();
    return messages[static_cast<std::size_t>(m_error)].constData();
}

} // namespace talvex
