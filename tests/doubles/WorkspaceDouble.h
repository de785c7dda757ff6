#pragma once

#include "Workspace.h"

#include <unistd.h>

namespace talvex::test {

/// A scripted desktop: the frontmost program, the window list and screens; records settings opened.
class WorkspaceDouble final : public Workspace {
public:
    std::optional<RunningApplication> frontmost;
    RunningApplication self{static_cast<std::int32_t>(::getpid()), QStringLiteral("talvex"),
                            QStringLiteral("Talvex"), QStringLiteral("talvex"), QStringLiteral("talvex")};
    std::optional<std::vector<WindowInfo>> windows = std::vector<WindowInfo>{};
    std::vector<QRectF> screenList{QRectF(0, 0, 1920, 1080)};
    bool settingsOpen = true;
    std::vector<SettingsPane> openedPanes;

    std::optional<RunningApplication> frontmostApplication() override { return frontmost; }
    RunningApplication currentApplication() override { return self; }
    std::optional<std::vector<WindowInfo>> onScreenWindows() override { return windows; }
    std::vector<QRectF> screens() override { return screenList; }
    bool openSettings(SettingsPane pane) override
    {
        openedPanes.push_back(pane);
        return settingsOpen;
    }
};

} // namespace talvex::test
