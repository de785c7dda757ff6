#pragma once

#include "TalvexDelegate.h"
#include "core/ControllerServices.h"

#include <QString>
#include <chrono>
#include <memory>

namespace talvex {

class ChatCompletionsModel;
class ServerFinalSpeechService;
class PulseSourceWatch;
class SessionBackends;
struct SessionPlan;
class SphinxSpeechService;
class SteadyClock;
class UserPrompts;
namespace x11 {
class X11EventConnection;
class X11HotKeyService;
class X11ModifierWatcher;
class X11Workspace;
class X11KeyboardPoster;
class X11KeyTranslator;
class QtClipboard;
} // namespace x11
namespace atspi {
class AtspiAccessibility;
}
namespace xdg {
class XdgLoginItems;
class XdgInstalledApplications;
} // namespace xdg
namespace update {
class LinuxUpdater;
}
class LoginItems;
class Updater;

/// Every Linux backend the dictation controller works through, built once for the life of the
/// process on an X11 display: xcb grabs and XInput for the shortcut, EWMH, AT-SPI, XTest and the
/// X clipboard for delivery, PulseAudio and PocketSphinx for speech, a loopback chat-completions
/// server for the rewrite. Needs a QApplication; main thread only.
class LinuxServices final {
  public:
    /// Connects to the X display. Null, with one sentence in `problem`, when it cannot be reached.
    static std::unique_ptr<LinuxServices> open(QString *problem);
    /// Releases what the backends hold on the X server (key grabs, XInput selection).
    ~LinuxServices();

    LinuxServices(const LinuxServices &) = delete;
    LinuxServices &operator=(const LinuxServices &) = delete;

    /// The services for one DictationController; they stay valid while this object lives.
    /// `libraryPath` empty means the controller's default file.
    ControllerServices controllerServices(const QString &libraryPath = {}) const;

    /// The language model, whose availability changes in the background.
    ChatCompletionsModel &languageModel() const { return *m_languageModel; }
    /// How long a finishing dictation may wait for the transcription server (zero without one).
    std::chrono::milliseconds speechServerBound() const;

    /// What the shell's windows work through: the autostart entry, the updater (none for a
    /// development build), the shortcut's key translation, the installed applications and the
    /// sound server's default source.
    TalvexDelegate::ShellServices shellServices() const;
    /// Which way this session reaches the desktop and what does not work there.
    const SessionPlan &sessionPlan() const;

  private:
    LinuxServices() = default;

    std::unique_ptr<SteadyClock> m_clock;
    std::shared_ptr<x11::X11EventConnection> m_events;
    std::unique_ptr<x11::X11HotKeyService> m_hotKeys;
    std::unique_ptr<x11::X11ModifierWatcher> m_modifierWatcher;
    std::unique_ptr<x11::X11Workspace> m_workspace;
    std::unique_ptr<atspi::AtspiAccessibility> m_accessibility;
    std::unique_ptr<x11::X11KeyboardPoster> m_keyboard;
    std::unique_ptr<x11::QtClipboard> m_clipboard;
    std::unique_ptr<x11::X11KeyTranslator> m_keys;
    std::unique_ptr<xdg::XdgInstalledApplications> m_applications;
    std::unique_ptr<ChatCompletionsModel> m_languageModel;
    std::unique_ptr<UserPrompts> m_prompts;
    std::unique_ptr<PulseSourceWatch> m_captureSources;
    std::unique_ptr<xdg::XdgLoginItems> m_loginItems;
    std::unique_ptr<update::LinuxUpdater> m_updater;
    /// The Wayland backends that replace X11 ones on a Wayland session.
    std::unique_ptr<SessionBackends> m_session;
    /// Never deleted: a model load may still run on its detached worker thread when the process
    /// ends, and the memory goes with the process anyway.
    SphinxSpeechService *m_speech = nullptr;
    /// PocketSphinx for the running text, and a transcription server's final text when one is set.
    std::unique_ptr<ServerFinalSpeechService> m_finalSpeech;
};

} // namespace talvex
