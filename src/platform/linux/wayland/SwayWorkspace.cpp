#include "SwayWorkspace.h"

#include "CommonWorkspace.h"
#include "SettingsPanes.h"

#include <QJsonArray>
#include <QJsonObject>
#include <functional>

namespace talvex::wayland {

namespace {

// A window of the tree: a node with a program behind it.
bool isView(const QJsonObject &node)
{
    return node.value(QLatin1String("pid")).toInteger() > 0;
}

QRectF rectOf(const QJsonObject &node)
{
    const QJsonObject rect = node.value(QLatin1String("rect")).toObject();
    return QRectF(rect.value(QLatin1String("x")).toDouble(), rect.value(QLatin1String("y")).toDouble(),
                  rect.value(QLatin1String("width")).toDouble(),
                  rect.value(QLatin1String("height")).toDouble());
}

// Calls `visit(node, floating)` for every node below `node`, depth first.
void walk(const QJsonObject &node, bool floating, const std::function<void(const QJsonObject &, bool)> &visit)
{
    visit(node, floating);
    for (const QJsonValue &child : node.value(QLatin1String("nodes")).toArray())
        walk(child.toObject(), floating, visit);
    for (const QJsonValue &child : node.value(QLatin1String("floating_nodes")).toArray())
        walk(child.toObject(), true, visit);
}

} // namespace

SwayWorkspace::SwayWorkspace(SwaySession *session) : m_session(session)
{
}

std::optional<RunningApplication> SwayWorkspace::frontmostApplication()
{
    if (!m_session)
        return std::nullopt;
    const auto tree = m_session->request(SwayIpc::Type::getTree);
    if (!tree)
        return std::nullopt;
    std::optional<QJsonObject> focused;
    walk(tree->object(), false, [&](const QJsonObject &node, bool) {
        if (isView(node) && node.value(QLatin1String("focused")).toBool())
            focused = node;
    });
    if (!focused)
        return std::nullopt;

    RunningApplication app;
    app.pid = static_cast<std::int32_t>(focused->value(QLatin1String("pid")).toInteger());
    const QString appId = focused->value(QLatin1String("app_id")).toString();
    const QJsonObject x11 = focused->value(QLatin1String("window_properties")).toObject();
    // A native window names itself by app_id; an Xwayland one by its WM_CLASS.
    app.windowClass = appId.isEmpty() ? x11.value(QLatin1String("class")).toString() : appId;
    app.windowInstance = appId.isEmpty() ? x11.value(QLatin1String("instance")).toString() : appId;
    xdg::nameAfterEntry(app, m_entries, appId);
    return app;
}

RunningApplication SwayWorkspace::currentApplication() { return xdg::thisApplication(); }

std::optional<std::vector<WindowInfo>> SwayWorkspace::onScreenWindows()
{
    if (!m_session)
        return std::nullopt;
    const auto tree = m_session->request(SwayIpc::Type::getTree);
    if (!tree)
        return std::nullopt;
    // Front to back as the user sees them: the focused window, floating windows above the tiled.
    std::vector<WindowInfo> focused, floating, tiled;
    walk(tree->object(), false, [&](const QJsonObject &node, bool isFloating) {
        if (!isView(node) || !node.value(QLatin1String("visible")).toBool())
            return;
        const WindowInfo info{static_cast<std::int32_t>(node.value(QLatin1String("pid")).toInteger()), 0,
                              rectOf(node)};
        if (node.value(QLatin1String("focused")).toBool())
            focused.push_back(info);
        else
            (isFloating ? floating : tiled).push_back(info);
    });
    std::vector<WindowInfo> windows = focused;
    windows.insert(windows.end(), floating.begin(), floating.end());
    windows.insert(windows.end(), tiled.begin(), tiled.end());
    return windows;
}

std::vector<QRectF> SwayWorkspace::screens()
{
    std::vector<QRectF> result;
    const auto outputs = m_session ? m_session->request(SwayIpc::Type::getOutputs) : std::nullopt;
    if (outputs) {
        // The output with the focus stands first, as the primary screen does.
        for (const QJsonValue &value : outputs->array()) {
            const QJsonObject output = value.toObject();
            if (!output.value(QLatin1String("active")).toBool())
                continue;
            const QRectF rect = rectOf(output);
            if (output.value(QLatin1String("focused")).toBool())
                result.insert(result.begin(), rect);
            else
                result.push_back(rect);
        }
    }
    return result;
}

bool SwayWorkspace::openSettings(SettingsPane pane)
{
    return xdg::SettingsPanes::open(pane);
}

} // namespace talvex::wayland
