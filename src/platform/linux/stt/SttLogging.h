#pragma once

#include <QLoggingCategory>

// The local transcription server: configuration, availability, requests and fallbacks. Never logs
// transcript text or audio.
Q_DECLARE_LOGGING_CATEGORY(lcStt)
