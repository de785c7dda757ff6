#include "X11EmbeddedTray.h"

#include "Logging.h"

#include <QByteArray>
#include <QSocketNotifier>
#include <QTimer>

namespace talvex::x11 {

namespace {

xcb_atom_t internAtom(xcb_connection_t *c, const QByteArray &name)
{
    XcbReply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        c, xcb_intern_atom(c, 0, std::uint16_t(name.size()), name.constData()), nullptr));
    return reply ? reply->atom : XCB_NONE;
}

} // namespace

std::unique_ptr<X11EmbeddedTray> X11EmbeddedTray::open(const char *display)
{
    int screen = 0;
    XcbConnection connection = connectToDisplay(display, &screen);
    if (!connection)
        return nullptr;
    return std::unique_ptr<X11EmbeddedTray>(new X11EmbeddedTray(std::move(connection), screen));
}

X11EmbeddedTray::X11EmbeddedTray(XcbConnection connection, int screen)
    : m_connection(std::move(connection)), m_root(rootWindow(m_connection.get(), screen))
{
    xcb_connection_t *c = m_connection.get();
    m_selection = internAtom(c, "_NET_SYSTEM_TRAY_S" + QByteArray::number(screen));
    m_manager = internAtom(c, "MANAGER");
    m_notifier = std::make_unique<QSocketNotifier>(xcb_get_file_descriptor(c), QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] { readEvents(true); });
}

X11EmbeddedTray::~X11EmbeddedTray() = default;

bool X11EmbeddedTray::isPresent()
{
    xcb_connection_t *c = m_connection.get();
    XcbReply<xcb_get_selection_owner_reply_t> owner(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, m_selection), nullptr));
    // Waiting for the reply may have queued events the socket notifier will not see again.
    QTimer::singleShot(0, this, [this] { readEvents(false); });
    return owner && owner->owner != XCB_NONE;
}

void X11EmbeddedTray::watch(std::function<void()> appeared)
{
    const bool wasWatching = bool(m_appeared);
    m_appeared = std::move(appeared);
    if (wasWatching == bool(m_appeared))
        return;
    // The manager's announcement goes to the root window with the structure-notify mask.
    const std::uint32_t mask = m_appeared ? XCB_EVENT_MASK_STRUCTURE_NOTIFY : XCB_EVENT_MASK_NO_EVENT;
    xcb_change_window_attributes(m_connection.get(), m_root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(m_connection.get());
}

void X11EmbeddedTray::readEvents(bool fromSocket)
{
    xcb_connection_t *c = m_connection.get();
    if (xcb_connection_has_error(c)) {
        m_notifier->setEnabled(false);
        return;
    }
    bool announced = false;
    while (true) {
        XcbReply<xcb_generic_event_t> event(fromSocket ? xcb_poll_for_event(c)
                                                       : xcb_poll_for_queued_event(c));
        if (!event)
            break;
        if ((event->response_type & 0x7f) != XCB_CLIENT_MESSAGE)
            continue;
        const auto *message = reinterpret_cast<const xcb_client_message_event_t *>(event.get());
        if (message->type == m_manager && message->format == 32 && message->data.data32[1] == m_selection)
            announced = true;
    }
    if (announced && m_appeared) {
        qCDebug(lcX11, "An XEmbed tray manager took the tray selection");
        // A copy: the callback may replace itself.
        const auto appeared = m_appeared;
        appeared();
    }
}

} // namespace talvex::x11
