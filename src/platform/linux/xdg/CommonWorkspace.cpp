#include "CommonWorkspace.h"

#include <QGuiApplication>
#include <QScreen>

#include <unistd.h>

namespace talvex::xdg {

RunningApplication thisApplication()
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

void nameAfterEntry(RunningApplication &app, const DesktopEntries &entries, const QString &applicationId)
{
    if (const auto entry = entries.find(applicationId, app.windowClass, app.windowInstance)) {
        app.applicationID = entry->id;
        app.name = entry->name;
    } else if (!app.windowClass.isEmpty()) {
        app.applicationID = app.windowClass;
        app.name = app.windowClass;
    }
}

std::vector<QRectF> qtScreens()
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

} // namespace talvex::xdg
