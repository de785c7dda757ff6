#pragma once

#include "Shortcut.h"

#include <QString>

namespace talvex {

/// The dictation controller's side of recording a new shortcut, as the recorder uses it.
class ShortcutRecordingController {
  public:
    virtual ~ShortcutRecordingController() = default;

    /// Recording begins: forget a held press, clear the status sentence and stop the global
    /// shortcut from triggering while the user presses keys.
    virtual void beginShortcutRecording() = 0;
    /// Registers `shortcut` and stores it; false when it could not be registered, and then nothing
    /// changed (the global shortcut stays suspended).
    virtual bool saveRecordedShortcut(const Shortcut &shortcut) = 0;
    /// Registers the stored shortcut again.
    virtual void retryShortcut() = 0;
    /// Sets the controller's one status sentence.
    virtual void showMessage(const QString &message) = 0;
};

} // namespace talvex
