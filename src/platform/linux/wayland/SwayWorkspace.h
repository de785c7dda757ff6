#pragma once

#include "DesktopEntries.h"
#include "SwaySession.h"
#include "Workspace.h"

namespace talvex::wayland {

/// The workspace from sway's layout tree: the focused window's program (its Wayland app_id, or
/// its X11 class under Xwayland, and its pid), the visible windows with their rectangles in layout
/// coordinates (which is where Xwayland puts our own windows too), and the outputs as screens.
class SwayWorkspace final : public Workspace {
  public:
    /// `session` may be null: then nothing is in front and there are no windows. It must outlive this.
    explicit SwayWorkspace(SwaySession *session);

    std::optional<RunningApplication> frontmostApplication() override;
    RunningApplication currentApplication() override;
    std::optional<std::vector<WindowInfo>> onScreenWindows() override;
    std::vector<QRectF> screens() override;
    bool openSettings(SettingsPane pane) override;

  private:
    SwaySession *m_session;
    xdg::DesktopEntries m_entries;
};

} // namespace talvex::wayland
