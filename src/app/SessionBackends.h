#pragma once

#include "SessionPlan.h"

#include <QSettings>
#include <QString>
#include <memory>

namespace talvex {

class Clipboard;
class HotKeyService;
class KeyboardPoster;
class ModifierWatcher;
class Workspace;
namespace atspi {
class AtspiAccessibility;
}
namespace wayland {
class WaylandConnection;
class SwaySession;
} // namespace wayland

/// The backends a Wayland session needs beyond the X11 ones, chosen at start from the session
/// (SessionPlan) and built once for the life of the process. On an X11 session it builds nothing and
/// every accessor returns the X11 backend it is given. Main thread only.
class SessionBackends final {
  public:
    /// Looks at the session (WAYLAND_DISPLAY, sway's socket, the compositor's protocols, the desktop
    /// portals), builds what the plan asks for, and logs once the path and what does not work.
    /// `accessibility` serves the workspace of desktops without compositor IPC; it must outlive this.
    static std::unique_ptr<SessionBackends> open(atspi::AtspiAccessibility &accessibility);
    ~SessionBackends();
    SessionBackends(const SessionBackends &) = delete;
    SessionBackends &operator=(const SessionBackends &) = delete;

    /// Which path is in use and what does not work: for the shell's one-time note.
    const SessionPlan &plan() const { return m_plan; }

    // Each returns this session's backend, or `x11` where the plan keeps the X11 one.
    HotKeyService *hotKeys(HotKeyService *x11) const;
    ModifierWatcher *modifierWatcher(ModifierWatcher *x11) const;
    KeyboardPoster *keyboard(KeyboardPoster *x11) const;
    Clipboard *clipboard(Clipboard *x11) const;
    Workspace *workspace(Workspace *x11) const;

    /// The sentence for a start without an X display: Talvex's windows need one (Xwayland on a
    /// Wayland session).
    static QString missingDisplayMessage();

  private:
    SessionBackends() = default;

    SessionPlan m_plan;
    std::shared_ptr<wayland::WaylandConnection> m_wayland;
    std::unique_ptr<wayland::SwaySession> m_sway;
    std::unique_ptr<HotKeyService> m_hotKeys;
    std::unique_ptr<ModifierWatcher> m_modifierWatcher;
    std::unique_ptr<KeyboardPoster> m_keyboard;
    std::unique_ptr<Clipboard> m_clipboard;
    std::unique_ptr<Workspace> m_workspace;
    /// Talvex's settings, where the remote-desktop portal keeps its restore token.
    std::unique_ptr<QSettings> m_settings;
};

} // namespace talvex
