#include "X11Workspace.h"

#include "Logging.h"
#include "CommonWorkspace.h"
#include "SettingsPanes.h"


#include <xcb/res.h>

#include <algorithm>
#include <cstring>


namespace talvex::x11 {

namespace {

constexpr int normalLayer = 0;
constexpr int aboveLayer = 3;
constexpr int dockLayer = 20;

// The 32-bit values of a property reply (freed here); empty when the property is not set.
std::vector<std::uint32_t> cardinalsOf(xcb_get_property_reply_t *raw)
{
    XcbReply<xcb_get_property_reply_t> reply(raw);
    std::vector<std::uint32_t> values;
    if (!reply || reply->type == XCB_ATOM_NONE || reply->format != 32)
        return values;
    values.resize(static_cast<std::size_t>(xcb_get_property_value_length(reply.get())) / sizeof(std::uint32_t));
    if (!values.empty())
        std::memcpy(values.data(), xcb_get_property_value(reply.get()), values.size() * sizeof(std::uint32_t));
    return values;
}

// The local process id in a client-ids reply (freed here); 0 when the server has none.
std::int32_t pidOf(xcb_res_query_client_ids_reply_t *raw)
{
    XcbReply<xcb_res_query_client_ids_reply_t> reply(raw);
    if (!reply)
        return 0;
    for (auto it = xcb_res_query_client_ids_ids_iterator(reply.get()); it.rem; xcb_res_client_id_value_next(&it)) {
        const auto &[client, length] = *it.data;
        if ((client.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID) &&
            xcb_res_client_id_value_value_length(it.data) >= 1)
            return static_cast<std::int32_t>(*xcb_res_client_id_value_value(it.data));
    }
    return 0;
}

} // namespace

X11Workspace::X11Workspace(const char *display) : m_connection(connectToDisplay(display))
{
    if (!m_connection) {
        qCWarning(lcX11) << "workspace: no X server";
        return;
    }
    xcb_connection_t *c = m_connection.get();
    m_root = rootWindow(c);
    if (const xcb_query_extension_reply_t *resources = xcb_get_extension_data(c, &xcb_res_id);
        resources && resources->present) {
        XcbReply<xcb_res_query_version_reply_t> version(
            xcb_res_query_version_reply(c, xcb_res_query_version(c, 1, 2), nullptr));
        // Client ids (and with them process ids) came with version 1.2.
        m_hasResources = version && (version->server_major > 1 || version->server_minor >= 2);
    }
    const char *names[] = {"_NET_ACTIVE_WINDOW",     "_NET_WM_PID",
                           "_NET_CLIENT_LIST_STACKING", "_NET_WM_WINDOW_TYPE",
                           "_NET_WM_WINDOW_TYPE_DESKTOP", "_NET_WM_WINDOW_TYPE_DOCK",
                           "_NET_WM_STATE",          "_NET_WM_STATE_HIDDEN",
                           "_NET_WM_STATE_ABOVE",    "_NET_FRAME_EXTENTS",
                           "_GTK_APPLICATION_ID",    "UTF8_STRING"};
    constexpr std::size_t count = sizeof(names) / sizeof(names[0]);
    static_assert(count == sizeof(Atoms) / sizeof(xcb_atom_t));
    xcb_intern_atom_cookie_t cookies[count];
    for (std::size_t i = 0; i < count; ++i)
        cookies[i] = xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(names[i])), names[i]);
    xcb_atom_t *atoms = reinterpret_cast<xcb_atom_t *>(&m_atoms);
    for (std::size_t i = 0; i < count; ++i) {
        XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(c, cookies[i], nullptr));
        atoms[i] = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    }
}

std::optional<QByteArray> X11Workspace::property(xcb_window_t window, xcb_atom_t name, xcb_atom_t type) const
{
    if (!m_connection || window == XCB_NONE)
        return std::nullopt;
    xcb_connection_t *c = m_connection.get();
    XcbReply<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, window, name, type, 0, 1 << 16), nullptr));
    if (!reply || reply->type == XCB_ATOM_NONE)
        return std::nullopt;
    return QByteArray(static_cast<const char *>(xcb_get_property_value(reply.get())),
                      xcb_get_property_value_length(reply.get()));
}

std::vector<std::uint32_t> X11Workspace::cardinals(xcb_window_t window, xcb_atom_t name, xcb_atom_t type) const
{
    std::vector<std::uint32_t> values;
    if (const auto data = property(window, name, type)) {
        values.resize(static_cast<std::size_t>(data->size()) / sizeof(std::uint32_t));
        if (!values.empty())
            std::memcpy(values.data(), data->constData(), values.size() * sizeof(std::uint32_t));
    }
    return values;
}

std::int32_t X11Workspace::ownerPid(xcb_window_t window) const
{
    // The server knows the process behind each local connection, also for programs that set no
    // _NET_WM_PID and for sandboxed ones whose _NET_WM_PID counts in the sandbox's own process ids.
    // It answers from the client bits of the id alone, and a closed program's bits go to the next
    // program that connects: a destroyed window (a stale _NET_ACTIVE_WINDOW) would name a stranger.
    // So the window must still exist; both questions go out before either answer is read.
    if (!m_connection)
        return 0;
    xcb_connection_t *c = m_connection.get();
    const auto exists = xcb_get_window_attributes(c, window);
    std::optional<xcb_res_query_client_ids_cookie_t> client;
    if (m_hasResources) {
        const xcb_res_client_id_spec_t clientQuery{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
        client = xcb_res_query_client_ids(c, 1, &clientQuery);
    }
    const XcbReply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(c, exists, nullptr));
    const std::int32_t clientPid = client ? pidOf(xcb_res_query_client_ids_reply(c, *client, nullptr)) : 0;
    if (!attributes)
        return 0;
    if (clientPid > 0)
        return clientPid;
    const auto pid = cardinals(window, m_atoms.wmPid, XCB_ATOM_CARDINAL);
    return pid.empty() ? 0 : static_cast<std::int32_t>(pid.front());
}

std::optional<RunningApplication> X11Workspace::frontmostApplication()
{
    const auto active = cardinals(m_root, m_atoms.activeWindow, XCB_ATOM_WINDOW);
    if (active.empty() || active.front() == XCB_NONE)
        return std::nullopt;
    const xcb_window_t window = active.front();
    const std::int32_t pid = ownerPid(window);
    if (pid == 0)
        return std::nullopt;

    RunningApplication app;
    app.pid = pid;
    if (const auto wmClass = property(window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING)) {
        const QList<QByteArray> parts = wmClass->split('\0');
        app.windowInstance = parts.value(0).isEmpty() ? QString() : QString::fromLocal8Bit(parts.value(0));
        app.windowClass = parts.value(1).isEmpty() ? QString() : QString::fromLocal8Bit(parts.value(1));
    }
    const QString toolkitId = QString::fromUtf8(property(window, m_atoms.gtkApplicationId, m_atoms.utf8String).value_or(QByteArray()));
    xdg::nameAfterEntry(app, m_entries, toolkitId);
    return app;
}

RunningApplication X11Workspace::currentApplication() { return xdg::thisApplication(); }

std::optional<std::vector<WindowInfo>> X11Workspace::onScreenWindows()
{
    if (!m_connection)
        return std::nullopt;
    const auto stacking = property(m_root, m_atoms.clientListStacking, XCB_ATOM_WINDOW);
    if (!stacking)
        return std::nullopt;
    std::vector<xcb_window_t> windows(static_cast<std::size_t>(stacking->size()) / sizeof(xcb_window_t));
    if (!windows.empty())
        std::memcpy(windows.data(), stacking->constData(), windows.size() * sizeof(xcb_window_t));
    std::reverse(windows.begin(), windows.end()); // the property lists bottom to top

    // Every question about every window goes out before the first answer is read: one round trip
    // to the server in all, however many windows there are. The focus test may run this while
    // paste keys are held.
    xcb_connection_t *c = m_connection.get();
    struct Questions {
        xcb_get_window_attributes_cookie_t attributes;
        xcb_get_geometry_cookie_t geometry;
        xcb_translate_coordinates_cookie_t position;
        xcb_get_property_cookie_t types, states, extents, wmPid;
        std::optional<xcb_res_query_client_ids_cookie_t> client;
    };
    std::vector<Questions> questions;
    questions.reserve(windows.size());
    for (const xcb_window_t window : windows) {
        Questions q{xcb_get_window_attributes(c, window),
                    xcb_get_geometry(c, window),
                    xcb_translate_coordinates(c, window, m_root, 0, 0),
                    xcb_get_property(c, 0, window, m_atoms.windowType, XCB_ATOM_ATOM, 0, 64),
                    xcb_get_property(c, 0, window, m_atoms.state, XCB_ATOM_ATOM, 0, 64),
                    xcb_get_property(c, 0, window, m_atoms.frameExtents, XCB_ATOM_CARDINAL, 0, 4),
                    xcb_get_property(c, 0, window, m_atoms.wmPid, XCB_ATOM_CARDINAL, 0, 1),
                    std::nullopt};
        if (m_hasResources) {
            const xcb_res_client_id_spec_t clientQuery{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
            q.client = xcb_res_query_client_ids(c, 1, &clientQuery);
        }
        questions.push_back(q);
    }

    std::vector<WindowInfo> result;
    for (Questions &q : questions) {
        // Every reply is read (and freed), also for windows that are skipped.
        XcbReply<xcb_get_window_attributes_reply_t> attributes(xcb_get_window_attributes_reply(c, q.attributes, nullptr));
        XcbReply<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, q.geometry, nullptr));
        XcbReply<xcb_translate_coordinates_reply_t> position(xcb_translate_coordinates_reply(c, q.position, nullptr));
        const auto types = cardinalsOf(xcb_get_property_reply(c, q.types, nullptr));
        const auto states = cardinalsOf(xcb_get_property_reply(c, q.states, nullptr));
        auto extents = cardinalsOf(xcb_get_property_reply(c, q.extents, nullptr));
        const auto wmPid = cardinalsOf(xcb_get_property_reply(c, q.wmPid, nullptr));
        const std::int32_t clientPid =
            q.client ? pidOf(xcb_res_query_client_ids_reply(c, *q.client, nullptr)) : 0;
        if (!attributes || !geometry || !position || attributes->map_state != XCB_MAP_STATE_VIEWABLE)
            continue;

        int layer = normalLayer;
        if (std::find(types.begin(), types.end(), m_atoms.windowTypeDesktop) != types.end())
            continue; // the desktop background is no window of a program
        if (std::find(types.begin(), types.end(), m_atoms.windowTypeDock) != types.end())
            layer = dockLayer;
        if (std::find(states.begin(), states.end(), m_atoms.stateHidden) != states.end())
            continue;
        if (layer == normalLayer && std::find(states.begin(), states.end(), m_atoms.stateAbove) != states.end())
            layer = aboveLayer;

        // The whole window includes the frame the window manager draws around it.
        extents.resize(4, 0); // left, right, top, bottom
        WindowInfo info;
        info.ownerPid = clientPid > 0 ? clientPid : (wmPid.empty() ? 0 : static_cast<std::int32_t>(wmPid.front()));
        info.layer = layer;
        info.bounds = QRectF(position->dst_x - static_cast<int>(extents[0]), position->dst_y - static_cast<int>(extents[2]),
                             geometry->width + extents[0] + extents[1], geometry->height + extents[2] + extents[3]);
        result.push_back(info);
    }
    return result;
}

std::vector<QRectF> X11Workspace::screens() { return xdg::qtScreens(); }

bool X11Workspace::openSettings(SettingsPane pane) { return xdg::SettingsPanes::open(pane); }

} // namespace talvex::x11
