#pragma once

#include "core/DictationController.h"
#include "core/DictationTiming.h"
#include "platform/CaptureSourceWatch.h"

#include <QString>
#include <optional>

namespace talvex {

/// The onboarding's pages, in order; the values are their positions.
enum class OnboardingStep { welcome = 0, access = 1, shortcut = 2, practice = 3 };

/// Whether a tray shows Talvex's icon, as far as is known yet.
enum class TrayPresence {
    unknown, ///< still waiting for a tray host
    shown,   ///< the icon is in a tray
    missing, ///< no tray came within the wait (one may still come)
};

/// Everything the onboarding window says, as functions of the controller's state, so that each
/// page's wording can be checked without a window.
namespace OnboardingTexts {

/// One status row: a title, a detail line, and whether it shows as ready.
struct StatusRow {
    QString title;
    QString detail;
    bool ready = false;

    friend bool operator==(const StatusRow &, const StatusRow &) = default;
};

/// The sidebar label, its symbol and the page title of a step.
QString sidebarLabel(OnboardingStep step);
QString symbol(OnboardingStep step);
QString title(OnboardingStep step);
/// The footer's forward button: "Get Started", "Continue" or "Done".
QString forwardButton(OnboardingStep step);
std::optional<OnboardingStep> next(OnboardingStep step);
std::optional<OnboardingStep> previous(OnboardingStep step);

QString welcome();
QString welcomeSteps();
/// How to reach Talvex when no tray shows its icon; absent while a tray shows it or none is known
/// to be missing. `desktop` is $XDG_CURRENT_DESKTOP; `bindToggle` is set where the global shortcut
/// cannot reach the desktop's windows.
std::optional<QString> trayHint(TrayPresence tray, const QString &desktop, bool bindToggle,
                                const QString &shortcutLabel);

QString accessIntroduction();
/// The sentence shown when no sound server answers.
QString noSoundServer();
StatusRow microphone(bool microphoneReady, const CaptureSource &source);
StatusRow automaticPaste(bool accessibilityReady);
StatusRow speech(const QString &speechStatus);
/// What to check when the desktop's settings could not be opened, naming what is still missing.
QString settingsUnavailable(bool microphoneMissing, bool pasteMissing);

QString shortcutIntroduction();
QString shortcutWarning();
QString shortcutUsage();
StatusRow shortcutTest(qint64 presses, qint64 startingPresses, bool pressed);

QString practiceInstruction(const QString &shortcutLabel);
StatusRow practiceTest(bool testingPracticePaste, DictationController::Phase phase,
                       const std::optional<QString> &lastPracticePasteStatus);
/// "Last paste in another app: " and the status, when there is one.
std::optional<QString> lastPasteInAnotherApp(const std::optional<QString> &lastPasteStatus);
QString anotherAppHint();
/// Where the latest practice dictation's time went; absent before the first one.
std::optional<QString> practiceTiming(const std::optional<DictationTiming> &timing);
/// The same for the latest dictation into another application.
std::optional<QString> anotherAppTiming(const std::optional<DictationTiming> &timing);

} // namespace OnboardingTexts

} // namespace talvex
