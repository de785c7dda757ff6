#include "CompositorProbe.h"

#include "OverlayLogging.h"

#include <QByteArray>
#include <QGuiApplication>
#include <cstdlib>
#include <memory>
#include <xcb/xcb.h>

namespace talvex::CompositorProbe {

namespace {

struct FreeDeleter {
    void operator()(void *pointer) const { std::free(pointer); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

bool x11CompositorRuns(xcb_connection_t *connection)
{
    // The selection is per X screen; Qt draws on the display's default screen.
    char *host = nullptr;
    int display = 0;
    int screen = 0;
    if (!xcb_parse_display(nullptr, &host, &display, &screen))
        screen = 0;
    std::free(host);
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(screen);
    Reply<xcb_intern_atom_reply_t> atom(xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 1, uint16_t(name.size()), name.constData()), nullptr));
    if (!atom || atom->atom == XCB_ATOM_NONE)
        return false; // nobody ever created the name, so nobody owns it
    Reply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(connection, xcb_get_selection_owner(connection, atom->atom), nullptr));
    return owner && owner->owner != XCB_NONE;
}

} // namespace

bool active()
{
    const QString platform = QGuiApplication::platformName();
    if (platform == QLatin1String("xcb")) {
        auto *x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
        const bool runs = x11 && x11->connection() && x11CompositorRuns(x11->connection());
        qCDebug(lcOverlay, "Compositor %s", runs ? "present" : "absent");
        return runs;
    }
    // Wayland compositors always blend; offscreen pictures keep their transparency.
    return platform.startsWith(QLatin1String("wayland")) || platform == QLatin1String("offscreen");
}

} // namespace talvex::CompositorProbe
