#pragma once

#include <QLoggingCategory>

// One category per subsystem. lcDelivery carries the described diagnostic lines; it never logs
// transcript text.
Q_DECLARE_LOGGING_CATEGORY(lcDelivery)
Q_DECLARE_LOGGING_CATEGORY(lcShortcut)
Q_DECLARE_LOGGING_CATEGORY(lcSpeech)
Q_DECLARE_LOGGING_CATEGORY(lcAudio)
Q_DECLARE_LOGGING_CATEGORY(lcStore)
Q_DECLARE_LOGGING_CATEGORY(lcRefine)
Q_DECLARE_LOGGING_CATEGORY(lcLlm)
Q_DECLARE_LOGGING_CATEGORY(lcX11)
Q_DECLARE_LOGGING_CATEGORY(lcAccessibility)
Q_DECLARE_LOGGING_CATEGORY(lcApp)
