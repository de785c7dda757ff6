#pragma once

#include "LaunchAtLogin.h"
#include "TalvexUpdates.h"
#include "core/ControllerServices.h"
#include "core/DictationController.h"

#include <QObject>
#include <memory>

namespace talvex {

/// The application shell's long-lived objects and its launch sequence. It owns the one dictation
/// controller for the life of the process; the tray menu, the recorder panel, the windows, the
/// login item and the updater join here as they are built.
class TalvexDelegate final : public QObject {
    Q_OBJECT
  public:
    /// Builds the controller (it loads the library; nothing is registered yet). `loginItems` and
    /// `updater` (null: none) outlive the delegate.
    TalvexDelegate(ControllerServices services, LoginItems &loginItems, Updater *updater,
                   QObject *parent = nullptr);
    ~TalvexDelegate() override;

    /// The launch sequence, once the event loop runs.
    void applicationDidFinishLaunching();

    DictationController &controller() { return *m_controller; }
    LaunchAtLogin &launchAtLogin() { return *m_launchAtLogin; }
    TalvexUpdates &updates() { return *m_updates; }

  private:
    void logPhase();

    std::unique_ptr<DictationController> m_controller;
    std::unique_ptr<LaunchAtLogin> m_launchAtLogin;
    std::unique_ptr<TalvexUpdates> m_updates;
};

} // namespace talvex
