#pragma once

#include "LaunchAtLogin.h"
#include "TalvexUpdates.h"
#include "core/ControllerServices.h"
#include "core/DictationController.h"
#include "shell/MenuCommands.h"

#include <QObject>
#include <functional>
#include <memory>

class QSettings;

namespace talvex {

/// The application shell's long-lived objects, its launch sequence and the operations the menu,
/// the windows and the control interface call. It owns the one dictation controller for the life
/// of the process. Main thread only.
class TalvexDelegate final : public QObject {
    Q_OBJECT
  public:
    /// How this launch was asked for.
    struct Launch {
        bool onboarding = false;     ///< "--onboarding": open onboarding whatever the stored default
        bool settings = false;       ///< "talvex settings": open the settings window once launched
        bool waylandSession = false; ///< running on Xwayland: the X grab only sees X windows' keys
        /// Where "didCompleteTalvexSetup" is read; null means the application's own settings.
        QSettings *defaults = nullptr;
    };

    /// The windows the delegate opens.
    enum class Window { onboarding, settings, about };
    Q_ENUM(Window)

    /// Builds the controller (it loads the library; nothing is registered yet) and the menu.
    /// `loginItems` and `updater` (null: none) outlive the delegate.
    TalvexDelegate(ControllerServices services, LoginItems &loginItems, Updater *updater, Launch launch,
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

    /// What "Quit Talvex" does; by default the event loop ends at once.
    void setQuit(std::function<void()> quit) { m_quit = std::move(quit); }

    DictationController &controller() { return *m_controller; }
    MenuCommands &menu() { return *m_menu; }
    LaunchAtLogin &launchAtLogin() { return *m_launchAtLogin; }
    TalvexUpdates &updates() { return *m_updates; }

  signals:
    /// A window was opened (for now: asked for; the windows plug in at the show* functions).
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
    // The recorder panel (RecorderPanel, 386 x 141) and the onboarding and about window controllers
    // (SetupWindow, AboutWindow) are members here.
    std::unique_ptr<MenuCommands> m_menu;
};

} // namespace talvex
