#pragma once

#include "DesktopEntries.h"
#include "Workspace.h"
#include "Xcb.h"

#include <QByteArray>

namespace talvex::x11 {

/// The workspace from the window manager's EWMH properties (_NET_ACTIVE_WINDOW,
/// _NET_CLIENT_LIST_STACKING, WM_CLASS), programs named by their desktop entries, screens from Qt.
/// A window's process is the X server's own account of its client (X Resource extension) where the
/// server has one, else the window's _NET_WM_PID.
class X11Workspace final : public Workspace {
public:
    /// Connects to $DISPLAY, or `display`; reads the installed desktop entries once.
    explicit X11Workspace(const char *display = nullptr);

    std::optional<RunningApplication> frontmostApplication() override;
    RunningApplication currentApplication() override;
    std::optional<std::vector<WindowInfo>> onScreenWindows() override;
    std::vector<QRectF> screens() override;
    bool openSettings(SettingsPane pane) override;

private:
    struct Atoms {
        xcb_atom_t activeWindow, wmPid, clientListStacking, windowType, windowTypeDesktop, windowTypeDock,
            state, stateHidden, stateAbove, frameExtents, gtkApplicationId, utf8String;
    };

    /// The raw value of `property` on `window`, absent when it is not set.
    std::optional<QByteArray> property(xcb_window_t window, xcb_atom_t property, xcb_atom_t type) const;
    std::vector<std::uint32_t> cardinals(xcb_window_t window, xcb_atom_t property, xcb_atom_t type) const;
    /// The process that owns `window`; 0 when unknown.
    std::int32_t ownerPid(xcb_window_t window) const;

    XcbConnection m_connection;
    xcb_window_t m_root = XCB_NONE;
    bool m_hasResources = false;
    Atoms m_atoms{};
    xdg::DesktopEntries m_entries;
};

} // namespace talvex::x11
