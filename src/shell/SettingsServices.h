#pragma once

#include <QUrl>
#include <functional>

namespace talvex {

class FinalTextRecognizer;
class InstalledApplications;
class KeyTranslator;
class LaunchAtLogin;
class TalvexUpdates;

/// What the settings window works through besides the dictation controller. Everything given
/// must outlive the window; a missing service leaves its controls disabled.
struct SettingsServices {
    /// The key translation the global shortcut uses, so a recorded key is the key it will watch.
    const KeyTranslator *keys = nullptr;
    /// Offered by "Choose App…".
    InstalledApplications *applications = nullptr;
    LaunchAtLogin *launchAtLogin = nullptr;
    TalvexUpdates *updates = nullptr;
    /// Names the recogniser of the final text ("Final text from"); none: the row is left out.
    FinalTextRecognizer *finalText = nullptr;
    /// "Talvex Onboarding…" and "About Talvex": the application delegate's windows.
    std::function<void()> openOnboarding;
    std::function<void()> openAbout;
    /// Opens a web page; true when something opened. Empty: the desktop's default browser.
    std::function<bool(const QUrl &)> openLink;
};

} // namespace talvex
