#include "OnboardingTexts.h"

#include "core/ControllerTexts.h"

#include <QStringList>

namespace talvex::OnboardingTexts {

namespace {

struct StepTexts {
    const char *sidebar;
    const char *symbol;
    const char *title;
};

const StepTexts &texts(OnboardingStep step)
{
    static const StepTexts table[] = {
        {"Welcome", "waveform.circle", "Welcome to Talvex"},
        {"Permissions", "checkmark.shield", "Permissions"},
        {"Keyboard shortcut", "keyboard", "Keyboard shortcut"},
        {"Practice dictation", "waveform", "Practice dictation"},
    };
    return table[static_cast<int>(step)];
}

const QString ready = QStringLiteral("Ready on this computer");
const QString confirmed = QStringLiteral("Paste confirmed");

QString seconds(double value)
{
    return QString::number(value, 'f', 2) + QStringLiteral(" s");
}

QString timingLine(const QString &what, const DictationTiming &timing)
{
    const QString rewrite =
        timing.rewrite ? QStringLiteral("rewrite ") + seconds(*timing.rewrite) : QStringLiteral("no rewrite");
    return QStringLiteral("%1: %2 from release to text (recognition %3, %4, paste %5)")
        .arg(what, seconds(timing.total()), seconds(timing.recognition), rewrite, seconds(timing.paste));
}

/// Where a tray comes from on the desktops we know, in one sentence.
QString trayOnDesktop(const QString &desktops)
{
    for (const QString &entry : desktops.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        const QString desktop = entry.trimmed().toUpper();
        if (desktop == QLatin1String("GNOME") || desktop == QLatin1String("UBUNTU"))
            return QStringLiteral("On GNOME, the AppIndicator extension (the package "
                                  "gnome-shell-extension-appindicator) adds a tray.");
        if (desktop == QLatin1String("KDE"))
            return QStringLiteral("On KDE Plasma, add the System Tray widget to a panel.");
        if (desktop == QLatin1String("XFCE"))
            return QStringLiteral("On Xfce, add the Status Tray plugin to a panel.");
        if (desktop == QLatin1String("MATE"))
            return QStringLiteral("On MATE, add the Notification Area applet to a panel.");
        if (desktop == QLatin1String("X-CINNAMON") || desktop == QLatin1String("CINNAMON"))
            return QStringLiteral("On Cinnamon, add the System Tray applet to a panel.");
        if (desktop == QLatin1String("LXQT"))
            return QStringLiteral("On LXQt, add the Status Notifier plugin to the panel.");
        if (desktop == QLatin1String("SWAY"))
            return QStringLiteral("On sway, a bar with a tray, such as waybar, shows it.");
    }
    return QStringLiteral("A panel with a system tray, such as trayer or stalonetray, shows it.");
}

} // namespace

QString sidebarLabel(OnboardingStep step)
{
    return QString::fromUtf8(texts(step).sidebar);
}

QString symbol(OnboardingStep step)
{
    return QString::fromUtf8(texts(step).symbol);
}

QString title(OnboardingStep step)
{
    return QString::fromUtf8(texts(step).title);
}

QString forwardButton(OnboardingStep step)
{
    switch (step) {
    case OnboardingStep::welcome:
        return QStringLiteral("Get Started");
    case OnboardingStep::access:
    case OnboardingStep::shortcut:
        return QStringLiteral("Continue");
    case OnboardingStep::practice:
        return QStringLiteral("Done");
    }
    return {};
}

std::optional<OnboardingStep> next(OnboardingStep step)
{
    if (step == OnboardingStep::practice)
        return std::nullopt;
    return static_cast<OnboardingStep>(static_cast<int>(step) + 1);
}

std::optional<OnboardingStep> previous(OnboardingStep step)
{
    if (step == OnboardingStep::welcome)
        return std::nullopt;
    return static_cast<OnboardingStep>(static_cast<int>(step) - 1);
}

QString welcome()
{
    return QStringLiteral(
        "Speak into any text field. Talvex transcribes on your computer and pastes at your cursor.");
}

QString welcomeSteps()
{
    return QStringLiteral("Check permissions, set your keyboard shortcut, and try a practice dictation.");
}

std::optional<QString> trayHint(TrayPresence tray, const QString &desktop, bool bindToggle,
                                const QString &shortcutLabel)
{
    if (tray != TrayPresence::missing)
        return std::nullopt;
    const QString dictate =
        bindToggle ? QStringLiteral("bind the command “talvex toggle” to a key in your desktop’s keyboard "
                                    "settings to dictate")
                   : QStringLiteral("dictate with %1").arg(shortcutLabel);
    return QStringLiteral("No system tray shows Talvex’s icon here. Talvex works without it: %1, and run "
                          "“talvex” again to open this window. %2")
        .arg(dictate, trayOnDesktop(desktop));
}

QString accessIntroduction()
{
    return QStringLiteral("Give Talvex access to listen and paste at your cursor. Speech recognition runs on "
                          "this computer.");
}

QString noSoundServer()
{
    // The same sentence a dictation shows when it cannot reach the server.
    return ControllerTexts::soundServerUnreachable();
}

StatusRow microphone(bool microphoneReady, const CaptureSource &source)
{
    StatusRow row{QStringLiteral("Microphone"), QString(), microphoneReady};
    // The watch hears about the server sooner than the readiness flag is refreshed: it wins.
    if (source.server == CaptureSource::Server::unreachable) {
        row.ready = false;
        row.detail = noSoundServer();
    } else if (!microphoneReady) {
        row.detail = QStringLiteral("Permission required");
    } else if (source.server == CaptureSource::Server::reachable && !source.description.isEmpty()) {
        row.detail = QStringLiteral("Allowed · Recording from %1").arg(source.description);
    } else {
        row.detail = QStringLiteral("Allowed");
    }
    return row;
}

StatusRow automaticPaste(bool accessibilityReady)
{
    return {QStringLiteral("Automatic paste"),
            accessibilityReady ? QStringLiteral("Allowed") : QStringLiteral("Permission required"),
            accessibilityReady};
}

StatusRow speech(const QString &speechStatus)
{
    return {QStringLiteral("Speech recognition"), speechStatus, speechStatus == ready};
}

QString settingsUnavailable(bool microphoneMissing, bool pasteMissing)
{
    QStringList checks;
    if (pasteMissing)
        checks << QStringLiteral("the accessibility bus is enabled (assistive technologies turned on)");
    if (microphoneMissing)
        checks << QStringLiteral("PulseAudio or PipeWire is running with a microphone");
    if (checks.isEmpty())
        checks << QStringLiteral("the accessibility bus is enabled and PulseAudio or PipeWire is running");
    return QStringLiteral("This desktop has no settings page Talvex knows: check that %1, then choose Check "
                          "Permissions Again.")
        .arg(checks.join(QStringLiteral(" and that ")));
}

QString shortcutIntroduction()
{
    return QStringLiteral("Record your own key combination, then press it here. The indicator shows when "
                          "Talvex receives the global key press and release.");
}

QString shortcutWarning()
{
    return QStringLiteral("This shortcut couldn’t be registered. Try a different key combination.");
}

QString shortcutUsage()
{
    return QStringLiteral(
        "Hold to talk and release to paste. For hands-free dictation, tap once to start and again to stop.");
}

StatusRow shortcutTest(qint64 presses, qint64 startingPresses, bool pressed)
{
    const bool detected = presses > startingPresses;
    QString detail;
    if (pressed)
        detail = QStringLiteral("Pressed");
    else if (detected)
        detail = QStringLiteral("Press and release detected");
    else
        detail = QStringLiteral("Waiting for your shortcut");
    return {QStringLiteral("Shortcut test"), detail, detected};
}

QString practiceInstruction(const QString &shortcutLabel)
{
    return QStringLiteral("Click the field, hold %1, say “Talvex is ready,” then release.")
        .arg(shortcutLabel);
}

StatusRow practiceTest(bool testingPracticePaste, DictationController::Phase phase,
                       const std::optional<QString> &lastPracticePasteStatus)
{
    using Phase = DictationController::Phase;
    QString detail;
    if (testingPracticePaste) {
        detail = QStringLiteral("Testing paste…");
    } else {
        switch (phase) {
        case Phase::preparing:
            detail = QStringLiteral("Getting the microphone ready…");
            break;
        case Phase::recording:
            detail = QStringLiteral("Listening…");
            break;
        case Phase::transcribing:
            detail = QStringLiteral("Transcribing…");
            break;
        case Phase::refining:
            detail = QStringLiteral("Polishing with the local model…");
            break;
        case Phase::idle:
            detail = lastPracticePasteStatus.value_or(QStringLiteral("Waiting for dictation"));
            break;
        }
    }
    return {QStringLiteral("This test"), detail, lastPracticePasteStatus == confirmed};
}

std::optional<QString> lastPasteInAnotherApp(const std::optional<QString> &lastPasteStatus)
{
    if (!lastPasteStatus)
        return std::nullopt;
    return QStringLiteral("Last paste in another app: ") + *lastPasteStatus;
}

QString anotherAppHint()
{
    return QStringLiteral("To check another app, dictate into an unsent draft there, then return here to see "
                          "its paste status.");
}

std::optional<QString> practiceTiming(const std::optional<DictationTiming> &timing)
{
    if (!timing)
        return std::nullopt;
    return timingLine(QStringLiteral("This dictation"), *timing);
}

std::optional<QString> anotherAppTiming(const std::optional<DictationTiming> &timing)
{
    if (!timing)
        return std::nullopt;
    return timingLine(QStringLiteral("Last dictation in another app"), *timing);
}

} // namespace talvex::OnboardingTexts
