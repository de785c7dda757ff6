#pragma once

#include "core/ControllerServices.h"
#include "core/DictationController.h"
#include "overlay/RecorderPanel.h"

#include <QObject>
#include <memory>

namespace talvex {

/// The application shell's long-lived objects and its launch sequence. It owns the one dictation
/// controller for the life of the process; the tray menu, the recorder panel, the windows, the
/// login item and the updater join here as they are built.
class TalvexDelegate final : public QObject {
    Q_OBJECT
  public:
    /// Builds the controller (it loads the library; nothing is registered yet).
    explicit TalvexDelegate(ControllerServices services, QObject *parent = nullptr);
    ~TalvexDelegate() override;

    /// The launch sequence, once the event loop runs.
    void applicationDidFinishLaunching();

    DictationController &controller() { return *m_controller; }

  private:
    void logPhase();

    std::unique_ptr<DictationController> m_controller;
    std::unique_ptr<RecorderPanel> m_recorder;
};

} // namespace talvex
