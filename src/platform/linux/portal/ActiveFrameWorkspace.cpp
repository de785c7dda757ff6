#include "ActiveFrameWorkspace.h"

#include "SettingsPanes.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QScreen>
#include <unistd.h>

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
    if (const auto entry =
            m_entries.find(frame->applicationName, frame->applicationName, frame->applicationName)) {
        app.applicationID = entry->id;
        app.name = entry->name;
    } else if (!frame->applicationName.isEmpty()) {
        app.applicationID = frame->applicationName;
        app.name = frame->applicationName;
    }
    return app;
}

RunningApplication ActiveFrameWorkspace::currentApplication()
{
    RunningApplication app;
    app.pid = static_cast<std::int32_t>(::getpid());
    const QString id = QGuiApplication::desktopFileName();
    app.applicationID = id.isEmpty() ? QCoreApplication::applicationName() : id;
    app.name = QGuiApplication::applicationDisplayName();
    app.windowClass = QCoreApplication::applicationName();
    app.windowInstance = QCoreApplication::applicationName();
    return app;
}

std::optional<std::vector<WindowInfo>> ActiveFrameWorkspace::onScreenWindows()
{
    const auto frame = m_accessibility.activeFrame();
    if (!frame)
        return std::vector<WindowInfo>{};
    const QRectF primary = screens().empty() ? QRectF() : screens().front();
    return std::vector<WindowInfo>{{frame->pid, 0, QRectF(primary.topLeft(), primary.size())}};
}

std::vector<QRectF> ActiveFrameWorkspace::screens()
{
    std::vector<QRectF> result;
    QScreen *primary = QGuiApplication::primaryScreen();
    if (primary)
        result.push_back(primary->geometry());
    for (QScreen *screen : QGuiApplication::screens())
        if (screen != primary)
            result.push_back(screen->geometry());
    return result;
}

bool ActiveFrameWorkspace::openSettings(SettingsPane pane)
{
    return xdg::SettingsPanes::open(pane);
}

} // namespace talvex::portal
