#pragma once

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace talvex::x11 {

/// Frees xcb replies and errors, which xcb allocates with malloc.
struct FreeDeleter {
    void operator()(void *pointer) const { std::free(pointer); }
};
template<typename T>
using XcbReply = std::unique_ptr<T, FreeDeleter>;

struct ConnectionDeleter {
    void operator()(xcb_connection_t *connection) const { xcb_disconnect(connection); }
};
/// An owned X connection; disconnects when it goes.
using XcbConnection = std::unique_ptr<xcb_connection_t, ConnectionDeleter>;

/// Opens a connection to $DISPLAY (or `display`); null when the server cannot be reached.
inline XcbConnection connectToDisplay(const char *display = nullptr, int *screenNumber = nullptr)
{
    XcbConnection connection(xcb_connect(display, screenNumber));
    if (connection && xcb_connection_has_error(connection.get()))
        connection.reset();
    return connection;
}

/// The root window of the default screen of `connection`.
inline xcb_window_t rootWindow(xcb_connection_t *connection, int screenNumber = 0)
{
    auto iterator = xcb_setup_roots_iterator(xcb_get_setup(connection));
    for (int i = 0; i < screenNumber && iterator.rem; ++i)
        xcb_screen_next(&iterator);
    return iterator.data ? iterator.data->root : XCB_NONE;
}

} // namespace talvex::x11
