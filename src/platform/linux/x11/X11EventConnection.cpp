#include "X11EventConnection.h"

#include "Logging.h"

#include <QSocketNotifier>
#include <xcb/xinput.h>
// xkb.h names a member `explicit`, a C++ keyword.
#define explicit explicit_
#include <xcb/xkb.h>
#undef explicit

#include <vector>

namespace talvex::x11 {

std::shared_ptr<X11EventConnection> X11EventConnection::open(const char *display)
{
    int screen = 0;
    XcbConnection connection = connectToDisplay(display, &screen);
    if (!connection) {
        qCWarning(lcX11) << "No X display for the global shortcut";
        return nullptr;
    }
    return std::shared_ptr<X11EventConnection>(new X11EventConnection(std::move(connection), screen));
}

X11EventConnection::X11EventConnection(XcbConnection connection, int screen)
    : m_connection(std::move(connection)), m_root(rootWindow(m_connection.get(), screen))
{
    setUpKeyboard();
    m_keys = std::make_unique<X11KeyTranslation>(m_connection.get());

    m_notifier =
        std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(m_connection.get()), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] { drain(true); });
    // The set-up above waited for replies; anything read meanwhile is queued already.
    scheduleDrain();
}

X11EventConnection::~X11EventConnection() = default;

void X11EventConnection::setUpKeyboard()
{
    xcb_connection_t *c = m_connection.get();

    const xcb_query_extension_reply_t *xkb = xcb_get_extension_data(c, &xcb_xkb_id);
    if (xkb && xkb->present) {
        XcbReply<xcb_xkb_use_extension_reply_t> use(xcb_xkb_use_extension_reply(
            c, xcb_xkb_use_extension(c, XCB_XKB_MAJOR_VERSION, XCB_XKB_MINOR_VERSION), nullptr));
        if (use && use->supported) {
            m_xkbFirstEvent = xkb->first_event;
            // Without this a held key is a stream of release/press pairs.
            XcbReply<xcb_xkb_per_client_flags_reply_t> flags(xcb_xkb_per_client_flags_reply(
                c,
                xcb_xkb_per_client_flags(c, XCB_XKB_ID_USE_CORE_KBD,
                                         XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT,
                                         XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT, 0, 0, 0),
                nullptr));
            m_detectableAutoRepeat = flags && (flags->value & XCB_XKB_PER_CLIENT_FLAG_DETECTABLE_AUTO_REPEAT);
            // Layout changes must reach the key translation.
            const std::uint16_t events =
                XCB_XKB_EVENT_TYPE_NEW_KEYBOARD_NOTIFY | XCB_XKB_EVENT_TYPE_MAP_NOTIFY;
            const std::uint16_t parts = XCB_XKB_MAP_PART_KEY_SYMS | XCB_XKB_MAP_PART_MODIFIER_MAP;
            xcb_xkb_select_events(c, XCB_XKB_ID_USE_CORE_KBD, events, 0, events, parts, parts, nullptr);
        }
    }
    if (!m_detectableAutoRepeat)
        qCWarning(lcX11) << "The X server has no detectable auto-repeat; held keys repeat";

    const xcb_query_extension_reply_t *xinput = xcb_get_extension_data(c, &xcb_input_id);
    if (xinput && xinput->present) {
        // 2.2: raw events arrive whatever grabs other clients hold.
        XcbReply<xcb_input_xi_query_version_reply_t> version(
            xcb_input_xi_query_version_reply(c, xcb_input_xi_query_version(c, 2, 2), nullptr));
        if (version &&
            (version->major_version > 2 || (version->major_version == 2 && version->minor_version >= 2)))
            m_xinputOpcode = xinput->major_opcode;
    }
    if (!m_xinputOpcode)
        qCWarning(lcX11) << "XInput 2.2 is missing; modifier-only shortcuts cannot be watched";
    xcb_flush(c);
}

bool X11EventConnection::isAlive() const
{
    return !xcb_connection_has_error(m_connection.get());
}

double X11EventConnection::seconds(xcb_timestamp_t serverTime)
{
    return m_serverTime.seconds(serverTime);
}

int X11EventConnection::addListener(Listener listener)
{
    const int id = m_nextListener++;
    m_listeners.emplace(id, std::move(listener));
    return id;
}

void X11EventConnection::removeListener(int id)
{
    m_listeners.erase(id);
}

void X11EventConnection::sync()
{
    xcb_connection_t *c = m_connection.get();
    XcbReply<xcb_get_input_focus_reply_t> reply(
        xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
    scheduleDrain();
}

void X11EventConnection::scheduleDrain()
{
    if (m_drainScheduled)
        return;
    m_drainScheduled = true;
    QMetaObject::invokeMethod(
        this, [this] { drain(false); }, Qt::QueuedConnection);
}

void X11EventConnection::drain(bool readSocket)
{
    m_drainScheduled = false;
    xcb_connection_t *c = m_connection.get();
    for (;;) {
        XcbReply<xcb_generic_event_t> event(readSocket ? xcb_poll_for_event(c)
                                                       : xcb_poll_for_queued_event(c));
        if (!event)
            break;
        dispatch(event.get());
    }
    if (xcb_connection_has_error(c) && !m_reportedLoss) {
        m_reportedLoss = true;
        m_notifier->setEnabled(false);
        qCWarning(lcX11) << "Lost the X connection of the global shortcut";
    }
}

void X11EventConnection::dispatch(const xcb_generic_event_t *event)
{
    const std::uint8_t type = event->response_type & 0x7f;
    if (type == 0) {
        const auto *error = reinterpret_cast<const xcb_generic_error_t *>(event);
        qCDebug(lcX11) << "X error" << error->error_code << "for request" << error->major_code;
        return;
    }
    const bool xkbMapChange =
        m_xkbFirstEvent && type == m_xkbFirstEvent &&
        (event->pad0 == XCB_XKB_NEW_KEYBOARD_NOTIFY || event->pad0 == XCB_XKB_MAP_NOTIFY);
    if (xkbMapChange || type == XCB_MAPPING_NOTIFY) {
        m_keys->refresh();
        scheduleDrain();
    }

    // A listener may add or remove listeners; visit the ones present now that are still there.
    std::vector<int> ids;
    ids.reserve(m_listeners.size());
    for (const auto &entry : m_listeners)
        ids.push_back(entry.first);
    for (const int id : ids) {
        const auto it = m_listeners.find(id);
        if (it != m_listeners.end()) {
            const Listener listener = it->second; // it may remove itself
            listener(event);
        }
    }
}

} // namespace talvex::x11
