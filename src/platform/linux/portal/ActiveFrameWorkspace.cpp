#include "ActiveFrameWorkspace.h"

#include "CommonWorkspace.h"
#include "SettingsPanes.h"


namespace talvex::portal {

ActiveFrameWorkspace::ActiveFrameWorkspace(atspi::AtspiAccessibility &accessibility)
    : m_accessibility(accessibility)
{
}

std::optional<RunningApplication> ActiveFrameWorkspace::frontmostApplication()
{
    const auto frame = m_accessibility.activeFrame();
    if (!frame)
        return std::nullopt;
    RunningApplication app;
    app.pid = frame->pid;
    // Toolkits name the application after its program or its application ID.
    app.windowClass = frame->applicationName;
    app.windowInstance = frame->applicationName;
    xdg::nameAfterEntry(app, m_entries, frame->applicationName);
    return app;
}

RunningApplication ActiveFrameWorkspace::currentApplication() { return xdg::thisApplication(); }

std::optional<std::vector<WindowInfo>> ActiveFrameWorkspace::onScreenWindows()
{
    const auto frame = m_accessibility.activeFrame();
    if (!frame)
        return std::vector<WindowInfo>{};
    const QRectF primary = screens().empty() ? QRectF() : screens().front();
    return std::vector<WindowInfo>{{frame->pid, 0, QRectF(primary.topLeft(), primary.size())}};
}

std::vector<QRectF> ActiveFrameWorkspace::screens() { return xdg::qtScreens(); }

bool ActiveFrameWorkspace::openSettings(SettingsPane pane)
{
    return xdg::SettingsPanes::open(pane);
}

} // namespace talvex::portal
