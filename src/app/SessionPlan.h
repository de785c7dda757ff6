#pragma once

#include <QString>
#include <QStringList>

namespace talvex {

/// What a desktop session offers Talvex, as found at start.
struct SessionFacts {
    bool wayland = false;               ///< WAYLAND_DISPLAY names a compositor that answers
    bool xwayland = false;              ///< an X display is set (Xwayland on a Wayland session)
    bool sway = false;                  ///< sway's IPC socket answers
    bool virtualKeyboard = false;       ///< the compositor offers zwp_virtual_keyboard_manager_v1
    bool dataControl = false;           ///< the compositor offers zwlr_data_control_manager_v1
    bool globalShortcutsPortal = false; ///< the desktop portal offers GlobalShortcuts
    bool remoteDesktopPortal = false;   ///< the desktop portal offers RemoteDesktop
    QString desktop;                    ///< XDG_CURRENT_DESKTOP, e.g. "GNOME", "KDE", "sway"
};

/// Which backend serves each desktop service in a session, and what the user must know about it.
/// Decided from the facts alone, so every kind of session can be checked without one.
struct SessionPlan {
    /// The way Talvex reaches the desktop, as a whole.
    enum class Path {
        x11,     ///< an X11 session: X grabs, XInput, XTest, the X clipboard, EWMH
        sway,    ///< sway (wlroots): compositor bindings, virtual keyboard, data control, sway's tree
        portal,  ///< GNOME, KDE and other Wayland desktops: desktop portals where they exist
        limited, ///< a Wayland session with none of the above: the X11 backends through Xwayland
    };
    enum class HotKeys { x11, sway, portal };
    enum class Chords { x11, sway, none };
    enum class Keyboard { xtest, virtualKeyboard, remoteDesktop };
    enum class Clipboard { qt, dataControl };
    enum class Workspace { x11, sway, accessibility };

    Path path = Path::x11;
    HotKeys hotKeys = HotKeys::x11;
    Chords chords = Chords::x11;
    Keyboard keyboard = Keyboard::xtest;
    Clipboard clipboard = Clipboard::qt;
    Workspace workspace = Workspace::x11;
    /// The global shortcut cannot reach Wayland windows: the user should bind "talvex toggle" in the
    /// desktop's keyboard settings instead.
    bool bindToggleInDesktopSettings = false;
    /// What does not work in this session, one plain sentence each; empty when everything does.
    QStringList limitations;

    static SessionPlan decide(const SessionFacts &facts);

    /// The path as a word for logs and the command line: "x11", "sway", "portal", "limited".
    QString pathName() const;
};

} // namespace talvex
