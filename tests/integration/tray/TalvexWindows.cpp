#include "TalvexWindows.h"

#include "Xcb.h"

#include <QByteArray>
#include <optional>
#include <xcb/xtest.h>

namespace talvex::test {

namespace {

using x11::XcbReply;

xcb_atom_t atom(xcb_connection_t *c, const char *name)
{
    XcbReply<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, std::uint16_t(qstrlen(name)), name), nullptr));
    return reply ? reply->atom : XCB_NONE;
}

QByteArray atomName(xcb_connection_t *c, xcb_atom_t value)
{
    XcbReply<xcb_get_atom_name_reply_t> reply(
        xcb_get_atom_name_reply(c, xcb_get_atom_name(c, value), nullptr));
    if (!reply)
        return {};
    return QByteArray(xcb_get_atom_name_name(reply.get()), xcb_get_atom_name_name_length(reply.get()));
}

XcbReply<xcb_get_property_reply_t> property(xcb_connection_t *c, xcb_window_t window, xcb_atom_t name)
{
    return XcbReply<xcb_get_property_reply_t>(xcb_get_property_reply(
        c, xcb_get_property(c, 0, window, name, XCB_GET_PROPERTY_TYPE_ANY, 0, 64), nullptr));
}

struct Walk {
    xcb_connection_t *c;
    xcb_window_t root;
    xcb_atom_t pidAtom, xembedAtom, typeAtom;
    qint64 pid;
    std::vector<XWindow> found;

    void visit(xcb_window_t window, xcb_window_t parent, bool ancestorsViewable)
    {
        XcbReply<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr));
        const bool viewable =
            ancestorsViewable && attributes && attributes->map_state == XCB_MAP_STATE_VIEWABLE;
        const auto pidValue = property(c, window, pidAtom);
        if (pidValue && xcb_get_property_value_length(pidValue.get()) == 4 &&
            *static_cast<const std::uint32_t *>(xcb_get_property_value(pidValue.get())) == std::uint32_t(pid))
            found.push_back(describe(window, parent, viewable));
        XcbReply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr));
        if (!tree)
            return;
        const xcb_window_t *children = xcb_query_tree_children(tree.get());
        for (int i = 0; i < xcb_query_tree_children_length(tree.get()); ++i)
            visit(children[i], window, viewable || window == root);
    }

    XWindow describe(xcb_window_t window, xcb_window_t parent, bool viewable)
    {
        XWindow info;
        info.id = window;
        info.viewable = viewable;
        info.topLevel = parent == root;
        XcbReply<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr));
        info.overrideRedirect = attributes && attributes->override_redirect;
        const auto xembed = property(c, window, xembedAtom);
        info.embedded = xembed && xcb_get_property_value_length(xembed.get()) > 0;
        if (const auto types = property(c, window, typeAtom)) {
            const auto *values = static_cast<const xcb_atom_t *>(xcb_get_property_value(types.get()));
            for (int i = 0; i < xcb_get_property_value_length(types.get()) / 4; ++i)
                info.types << atomName(c, values[i]);
        }
        XcbReply<xcb_get_geometry_reply_t> geometry(
            xcb_get_geometry_reply(c, xcb_get_geometry(c, window), nullptr));
        XcbReply<xcb_translate_coordinates_reply_t> origin(
            xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, window, root, 0, 0), nullptr));
        if (geometry && origin)
            info.geometry = QRect(origin->dst_x, origin->dst_y, geometry->width, geometry->height);
        return info;
    }
};

} // namespace

std::vector<XWindow> windowsOf(qint64 pid)
{
    auto connection = x11::connectToDisplay();
    if (!connection)
        return {};
    xcb_connection_t *c = connection.get();
    Walk walk{c,
              x11::rootWindow(c),
              atom(c, "_NET_WM_PID"),
              atom(c, "_XEMBED_INFO"),
              atom(c, "_NET_WM_WINDOW_TYPE"),
              pid,
              {}};
    walk.visit(walk.root, XCB_NONE, true);
    return walk.found;
}

std::optional<XWindow> viewableIcon(qint64 pid)
{
    // Qt marks every window of its own with _XEMBED_INFO; the icon is the one a tray reparented.
    for (const XWindow &window : windowsOf(pid)) {
        if (window.viewable && window.embedded && !window.topLevel && !window.geometry.isEmpty())
            return window;
    }
    return std::nullopt;
}

std::optional<XWindow> openMenu(qint64 pid)
{
    for (const XWindow &window : windowsOf(pid)) {
        if (window.viewable && window.topLevel && window.overrideRedirect &&
            !window.types.contains(QByteArrayLiteral("_NET_WM_WINDOW_TYPE_TOOLTIP")))
            return window;
    }
    return std::nullopt;
}

void click(const QRect &geometry, std::uint8_t button)
{
    auto connection = x11::connectToDisplay();
    if (!connection)
        return;
    xcb_connection_t *c = connection.get();
    const QPoint middle = geometry.center();
    xcb_test_fake_input(c, XCB_MOTION_NOTIFY, 0, XCB_CURRENT_TIME, x11::rootWindow(c),
                        std::int16_t(middle.x()), std::int16_t(middle.y()), 0);
    xcb_test_fake_input(c, XCB_BUTTON_PRESS, button, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    xcb_test_fake_input(c, XCB_BUTTON_RELEASE, button, XCB_CURRENT_TIME, XCB_NONE, 0, 0, 0);
    XcbReply<xcb_get_input_focus_reply_t> sync(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
}

} // namespace talvex::test
