#pragma once

#include "core/ControllerServices.h"

#include <QString>
#include <memory>

namespace talvex {

class ChatCompletionsModel;
class KeyTranslator;
class SteadyClock;
class UserPrompts;
namespace x11 {
class X11EventConnection;
class X11HotKeyService;
class X11KeyTranslator;
class X11ModifierWatcher;
class X11Workspace;
class X11KeyboardPoster;
class QtClipboard;
} // namespace x11
namespace atspi {
class AtspiAccessibility;
}

namespace test {

/// The real Linux backends for a DictationController made in the test process: X11 grabs and
/// XInput for the shortcut, EWMH, AT-SPI, XTest and the X clipboard for delivery, PulseAudio and
/// PocketSphinx for speech, the local language model. File panels and alerts answer as cancelled.
class LinuxTestServices final {
  public:
    /// Null when the X display cannot be opened.
    static std::unique_ptr<LinuxTestServices> open();
    ~LinuxTestServices();
    LinuxTestServices(const LinuxTestServices &) = delete;
    LinuxTestServices &operator=(const LinuxTestServices &) = delete;

    ControllerServices controllerServices(const QString &libraryPath);
    /// The translation of our windows' keys that the global shortcut's connection keeps current.
    const KeyTranslator &keys() const;
    x11::X11EventConnection &events() const { return *m_events; }

  private:
    LinuxTestServices() = default;

    std::unique_ptr<SteadyClock> m_clock;
    std::shared_ptr<x11::X11EventConnection> m_events;
    std::unique_ptr<x11::X11HotKeyService> m_hotKeys;
    std::unique_ptr<x11::X11ModifierWatcher> m_modifierWatcher;
    std::unique_ptr<x11::X11KeyTranslator> m_keys;
    std::unique_ptr<x11::X11Workspace> m_workspace;
    std::unique_ptr<atspi::AtspiAccessibility> m_accessibility;
    std::unique_ptr<x11::X11KeyboardPoster> m_keyboard;
    std::unique_ptr<x11::QtClipboard> m_clipboard;
    std::unique_ptr<ChatCompletionsModel> m_languageModel;
    std::unique_ptr<UserPrompts> m_prompts;
};

} // namespace test
} // namespace talvex
