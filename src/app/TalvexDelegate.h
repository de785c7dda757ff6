#pragma once

#include "AboutWindow.h"
#include "LaunchAtLogin.h"
#include "SettingsWindow.h"
#include "SetupWindow.h"
#include "TalvexUpdates.h"
#include "core/ControllerServices.h"
#include "core/DictationController.h"
#include "overlay/RecorderPanel.h"
#include "shell/MenuCommands.h"

#include <QObject>
#include <functional>
#include <memory>

class QSettings;

namespace talvex {

class FinalTextRecognizer;
class CaptureSourceWatch;
class InstalledApplications;
class KeyTranslator;

/// The application shell's long-lived objects, its launch sequence and the operations the menu,
/// the windows and the control interface call. It owns the one dictation controller for the life
/// of the process. Main thread only.
class TalvexDelegate final : public QObject {
    Q_OBJECT
  public:
    /// What the shell's windows work through besides the controller; all outlive the delegate.
    struct ShellServices {
        LoginItems *loginItems = nullptr;
        Updater *updater = nullptr; ///< null: a build without updates
        /// The key translation of the global shortcut, for the shortcut recorder.
        const KeyTranslator *keys = nullptr;
        /// What "Choose App…" offers.
        InstalledApplications *applications = nullptr;
        /// Names the recogniser of the final text in the settings window; may be null.
        FinalTextRecognizer *finalText = nullptr;
        /// The sound server's default source, shown by onboarding; null shows none.
        CaptureSourceWatch *captureSources = nullptr;
    };

    /// How this launch was asked for.
    struct Launch {
        bool onboarding = false;     ///< "--onboarding": open onboarding whatever the stored default
        bool settings = false;       ///< "talvex settings": open the settings window once launched
        bool waylandSession = false; ///< a Wayland session the global shortcut cannot reach
        /// Where "didCompleteTalvexSetup" is read; null means the application's own settings.
        QSettings *defaults = nullptr;
    };

    /// The windows the delegate opens.
    enum class Window { onboarding, settings, about };
    Q_ENUM(Window)

    /// Builds the controller (it loads the library; nothing is registered yet) and the menu.
    TalvexDelegate(ControllerServices services, ShellServices shell, Launch launch,
                   QObject *parent = nullptr);
    ~TalvexDelegate() override;

    /// The launch sequence, once the event loop runs: login-item default, controller activation,
    /// recorder panel, updater, then onboarding on first run or when asked for.
    void applicationDidFinishLaunching();
    /// One of our windows became active: the login item and the permissions may have changed.
    void applicationDidBecomeActive();
    /// Talvex was launched again while running: shows onboarding. Always handled.
    bool applicationShouldHandleReopen();

    /// Each opens its window on the next turn of the event loop, never inside the caller's own
    /// event handling (a menu click, a D-Bus call).
    void openOnboarding();
    void openAbout();
    void openSettings();

    /// Whether a tray shows Talvex's icon: onboarding says how to reach Talvex without one.
    void setTrayPresence(TrayPresence tray);

    /// What "Quit Talvex" does; by default the event loop ends at once.
    void setQuit(std::function<void()> quit) { m_quit = std::move(quit); }

    DictationController &controller() { return *m_controller; }
    MenuCommands &menu() { return *m_menu; }
    LaunchAtLogin &launchAtLogin() { return *m_launchAtLogin; }
    TalvexUpdates &updates() { return *m_updates; }
    SetupWindow &setup() { return *m_setup; }

  signals:
    /// A window was shown.
    void windowShown(talvex::TalvexDelegate::Window window);

  private:
    bool setupCompleted() const;
    void showOnboarding();
    void showAbout();
    void showSettings();
    void logPhase();

    Launch m_launch;
    std::function<void()> m_quit;
    std::unique_ptr<DictationController> m_controller;
    std::unique_ptr<LaunchAtLogin> m_launchAtLogin;
    std::unique_ptr<TalvexUpdates> m_updates;
    std::unique_ptr<MenuCommands> m_menu;
    std::unique_ptr<RecorderPanel> m_recorder;
    std::unique_ptr<SettingsWindow> m_settings;
    std::unique_ptr<AboutWindow> m_about;
    std::unique_ptr<QSettings> m_defaults; ///< "didCompleteTalvexSetup"
    std::unique_ptr<SetupWindow> m_setup;
};

} // namespace talvex
