#pragma once

#include <QString>

class QSettings;

namespace talvex {

class CaptureSourceWatch;
class Clock;
class KeyTranslator;

/// What the onboarding window works through besides the dictation controller. Everything given
/// must outlive the window.
struct OnboardingServices {
    /// The key translation the global shortcut uses, for the shortcut recorder.
    const KeyTranslator *keys = nullptr;
    /// The sound server's default source, for the microphone row; null shows none.
    CaptureSourceWatch *captureSources = nullptr;
    /// Times the short wait before a paste test; null waits on a Qt timer.
    Clock *clock = nullptr;
    /// Where "didCompleteTalvexSetup" is kept; null means the application's own settings.
    QSettings *defaults = nullptr;
    /// The global shortcut cannot reach this desktop's windows: the user binds "talvex toggle".
    bool bindToggle = false;
    /// $XDG_CURRENT_DESKTOP-style name of the desktop, for where to get a tray; empty reads it.
    QString desktop;
};

} // namespace talvex
