#include "RecorderStatus.h"

namespace talvex::RecorderStatus {

QString sentence(Phase phase)
{
    switch (phase) {
    case Phase::idle:
        return QStringLiteral("Ready to dictate");
    case Phase::preparing:
        return QStringLiteral("Getting the microphone ready…");
    case Phase::recording:
        return QStringLiteral("Listening…");
    case Phase::transcribing:
        return QStringLiteral("Transcribing…");
    case Phase::refining:
        return QStringLiteral("Polishing with the local model…");
    }
    return QStringLiteral("Ready to dictate");
}

} // namespace talvex::RecorderStatus
