#include "TranscriptionOutcome.h"

namespace talvex {

std::optional<QString> fallbackNote(TranscriptionFailure failure, std::chrono::milliseconds bound)
{
    const QString used = QStringLiteral(", so the on-device transcript was used.");
    switch (failure) {
    case TranscriptionFailure::unreachable:
        return QStringLiteral("The transcription server couldn\u2019t be reached") + used;
    case TranscriptionFailure::httpError:
        return QStringLiteral("The transcription server reported an error") + used;
    case TranscriptionFailure::malformed:
        return QStringLiteral("The transcription server\u2019s answer couldn\u2019t be read") + used;
    case TranscriptionFailure::empty:
        return QStringLiteral("The transcription server returned no text") + used;
    case TranscriptionFailure::timedOut:
        return QStringLiteral("The transcription server took longer than %1 seconds")
                   .arg(QString::number(double(bound.count()) / 1000.0)) +
               used;
    case TranscriptionFailure::unsendable:
        return QStringLiteral("The recording couldn\u2019t be sent to the transcription server") + used;
    case TranscriptionFailure::none:
    case TranscriptionFailure::turnedOff:
    case TranscriptionFailure::cancelled:
        break;
    }
    return std::nullopt;
}

} // namespace talvex
