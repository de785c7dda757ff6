#pragma once

#include "core/DictationController.h"
#include "desktop/ShortcutRecordingController.h"

namespace talvex {

/// The dictation controller as the shortcut recorder sees it.
class ControllerShortcutRecording final : public ShortcutRecordingController {
  public:
    explicit ControllerShortcutRecording(DictationController &controller) : m_controller(controller) {}

    void beginShortcutRecording() override { m_controller.beginShortcutRecording(); }
    bool saveRecordedShortcut(const Shortcut &shortcut) override
    {
        return m_controller.saveRecordedShortcut(shortcut);
    }
    void retryShortcut() override { m_controller.retryShortcut(); }
    void showMessage(const QString &message) override { m_controller.setMessage(message); }

  private:
    DictationController &m_controller;
};

} // namespace talvex
