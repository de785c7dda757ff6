#pragma once

#include "desktop/Destination.h"
#include "platform/AudioEngine.h"
#include "platform/Clock.h"
#include "platform/HotKeyService.h"
#include "platform/LanguageModelService.h"
#include "platform/ModifierWatcher.h"
#include "platform/SpeechService.h"
#include "platform/UserPrompts.h"

#include <QString>

#include <functional>
#include <memory>

namespace talvex {

/// Everything the dictation controller works through. The services outlive the controller.
struct ControllerServices {
    Clock *clock = nullptr;
    LanguageModelService *languageModel = nullptr;
    SpeechService *speech = nullptr;
    /// A fresh audio engine: one per dictation, and one kept for the microphone permission.
    std::function<std::unique_ptr<AudioEngine>()> makeAudioEngine;
    HotKeyService *hotKeys = nullptr;
    ModifierWatcher *modifierWatcher = nullptr;
    /// Workspace, accessibility, key posting, clipboard and clock for capture and delivery.
    DeliveryServices delivery;
    UserPrompts *prompts = nullptr;
    /// The library file; empty means DictationController::defaultLibraryPath().
    QString libraryPath;
};

} // namespace talvex
