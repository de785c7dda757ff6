#pragma once

#include "X11KeyTranslation.h"
#include "X11ServerTime.h"
#include "Xcb.h"

#include <QObject>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

class QSocketNotifier;

namespace talvex::x11 {

/// One X connection of our own for the global shortcut: grabs and watches on the root window, with
/// events read on the main thread through a socket notifier on the connection's descriptor. XKB is
/// set up for detectable auto-repeat (a held key gives one press and one release).
class X11EventConnection final : public QObject {
    Q_OBJECT

  public:
    using Listener = std::function<void(const xcb_generic_event_t *)>;

    /// Connects to $DISPLAY (or `display`); null when there is no X server.
    static std::shared_ptr<X11EventConnection> open(const char *display = nullptr);
    ~X11EventConnection() override;

    xcb_connection_t *connection() const { return m_connection.get(); }
    xcb_window_t root() const { return m_root; }
    const X11KeyTranslation &keys() const { return *m_keys; }

    /// False once the server has gone away.
    bool isAlive() const;
    /// Whether the server honours detectable auto-repeat for us.
    bool hasDetectableAutoRepeat() const { return m_detectableAutoRepeat; }
    /// The XInput major opcode, or 0 when XInput 2.2 is missing.
    std::uint8_t xinputOpcode() const { return m_xinputOpcode; }

    /// Seconds of X server time: milliseconds since the server started, carried past the 32-bit
    /// wrap (every 49.7 days) so times keep increasing.
    double seconds(xcb_timestamp_t serverTime);

    /// Every event read from the connection goes to every listener, in order of addition.
    int addListener(Listener listener);
    void removeListener(int id);

    /// Waits until the server has handled every request sent so far, so that what they changed is
    /// in force for every other client too.
    void sync();

    /// Call after any request that waited for a reply: xcb may then have read events off the
    /// socket into its queue, where the socket notifier cannot see them. They are delivered from
    /// the event loop soon after, never from inside the caller.
    void scheduleDrain();

  private:
    X11EventConnection(XcbConnection connection, int screen);
    void setUpKeyboard();
    void drain(bool readSocket);
    void dispatch(const xcb_generic_event_t *event);

    XcbConnection m_connection;
    xcb_window_t m_root = XCB_NONE;
    std::unique_ptr<X11KeyTranslation> m_keys;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::uint8_t m_xkbFirstEvent = 0;
    std::uint8_t m_xinputOpcode = 0;
    bool m_detectableAutoRepeat = false;
    bool m_drainScheduled = false;
    bool m_reportedLoss = false;
    X11ServerTime m_serverTime;
    int m_nextListener = 0;
    std::map<int, Listener> m_listeners;
};

} // namespace talvex::x11
