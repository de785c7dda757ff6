#pragma once

// Waiting for X events with a deadline, for tests: events are awaited, never slept for.

#include "Xcb.h"

#include <xcb/xcb.h>

#include <poll.h>

#include <chrono>
#include <functional>

namespace talvex::test {

using XcbEvent = x11::XcbReply<xcb_generic_event_t>;

/// Returns the first event on `connection` that `wanted` accepts, discarding the others; null when
/// none arrived before `timeout` or the connection broke.
inline XcbEvent awaitEvent(xcb_connection_t *connection,
                           const std::function<bool(const xcb_generic_event_t &)> &wanted,
                           std::chrono::milliseconds timeout = std::chrono::seconds(20))
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    xcb_flush(connection);
    for (;;) {
        while (XcbEvent event{xcb_poll_for_event(connection)}) {
            if (wanted(*event))
                return event;
        }
        if (xcb_connection_has_error(connection))
            return nullptr;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return nullptr;
        pollfd descriptor{xcb_get_file_descriptor(connection), POLLIN, 0};
        ::poll(&descriptor, 1, static_cast<int>(left.count()));
    }
}

/// The response type of `event` without the "sent by SendEvent" bit.
inline int eventType(const xcb_generic_event_t &event)
{
    return event.response_type & 0x7f;
}

} // namespace talvex::test
