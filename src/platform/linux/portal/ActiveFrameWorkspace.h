#pragma once

#include "AtspiAccessibility.h"
#include "DesktopEntries.h"
#include "Workspace.h"

namespace talvex::portal {

/// The workspace of Wayland desktops that tell no program which window is in front (GNOME, KDE):
/// the frontmost program is the owner of the accessibility service's active frame, named by its
/// desktop entry; the one on-screen window known is that frame. A Wayland client cannot learn where
/// a window is, so the frame is given the primary screen's rectangle (where the recorder panel then
/// shows); whether the same window stays in front is told by the frame element itself.
class ActiveFrameWorkspace final : public Workspace {
  public:
    /// `accessibility` must outlive this.
    explicit ActiveFrameWorkspace(atspi::AtspiAccessibility &accessibility);

    std::optional<RunningApplication> frontmostApplication() override;
    RunningApplication currentApplication() override;
    std::optional<std::vector<WindowInfo>> onScreenWindows() override;
    std::vector<QRectF> screens() override;
    bool openSettings(SettingsPane pane) override;

  private:
    atspi::AtspiAccessibility &m_accessibility;
    xdg::DesktopEntries m_entries;
};

} // namespace talvex::portal
