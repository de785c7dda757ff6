#include "WaylandConnection.h"

#include "WaylandLogging.h"
#include "virtual-keyboard-unstable-v1-client.h"
#include "wlr-data-control-unstable-v1-client.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <cstring>
#include <poll.h>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

namespace talvex::wayland {

namespace {

// Keymap and seat capability events while the seat keyboard is read once at start.
struct SeatProbe {
    bool hasKeyboard = false;
    bool capabilitiesSeen = false;
    std::optional<std::string> keymap;
};

void seatCapabilities(void *data, wl_seat *, std::uint32_t capabilities)
{
    auto *probe = static_cast<SeatProbe *>(data);
    probe->capabilitiesSeen = true;
    probe->hasKeyboard = capabilities & WL_SEAT_CAPABILITY_KEYBOARD;
}
void seatName(void *, wl_seat *, const char *)
{
}
const wl_seat_listener seatListener = {seatCapabilities, seatName};

void keyboardKeymap(void *data, wl_keyboard *, std::uint32_t format, std::int32_t fd, std::uint32_t size)
{
    auto *probe = static_cast<SeatProbe *>(data);
    if (format == WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1 && size > 0) {
        void *mapped = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (mapped != MAP_FAILED) {
            // The compositor's text ends with a NUL that is not part of the keymap.
            const char *text = static_cast<const char *>(mapped);
            probe->keymap = std::string(text, strnlen(text, size));
            munmap(mapped, size);
        }
    }
    close(fd);
}
void keyboardEnter(void *, wl_keyboard *, std::uint32_t, wl_surface *, wl_array *)
{
}
void keyboardLeave(void *, wl_keyboard *, std::uint32_t, wl_surface *)
{
}
void keyboardKey(void *, wl_keyboard *, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t)
{
}
void keyboardModifiers(void *, wl_keyboard *, std::uint32_t, std::uint32_t, std::uint32_t, std::uint32_t,
                       std::uint32_t)
{
}
void keyboardRepeat(void *, wl_keyboard *, std::int32_t, std::int32_t)
{
}
const wl_keyboard_listener keyboardListener = {keyboardKeymap, keyboardEnter,     keyboardLeave,
                                               keyboardKey,    keyboardModifiers, keyboardRepeat};

} // namespace

void WaylandConnection::global(void *data, wl_registry *registry, std::uint32_t name, const char *interface,
                               std::uint32_t version)
{
    auto *self = static_cast<WaylandConnection *>(data);
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !self->m_seat) {
        self->m_seatVersion = std::min<std::uint32_t>(version, 5);
        self->m_seat =
            static_cast<wl_seat *>(wl_registry_bind(registry, name, &wl_seat_interface, self->m_seatVersion));
    } else if (std::strcmp(interface, zwp_virtual_keyboard_manager_v1_interface.name) == 0) {
        self->m_virtualKeyboards = static_cast<zwp_virtual_keyboard_manager_v1 *>(
            wl_registry_bind(registry, name, &zwp_virtual_keyboard_manager_v1_interface, 1));
    } else if (std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0) {
        self->m_dataControl = static_cast<zwlr_data_control_manager_v1 *>(
            wl_registry_bind(registry, name, &zwlr_data_control_manager_v1_interface, 1));
    }
}

void WaylandConnection::globalRemove(void *, wl_registry *, std::uint32_t)
{
}

std::shared_ptr<WaylandConnection> WaylandConnection::open(const char *name)
{
    wl_display *display = wl_display_connect(name);
    if (!display)
        return nullptr;
    std::shared_ptr<WaylandConnection> connection(new WaylandConnection);
    connection->m_display = display;
    static const wl_registry_listener listener = {&WaylandConnection::global,
                                                  &WaylandConnection::globalRemove};
    connection->m_registry = wl_display_get_registry(display);
    wl_registry_add_listener(connection->m_registry, &listener, connection.get());
    if (wl_display_roundtrip(display) < 0 || !connection->m_seat) {
        qCWarning(lcWayland) << "The Wayland compositor offers no seat";
        return nullptr;
    }
    connection->readSeatKeymap();

    connection->m_notifier =
        std::make_unique<QSocketNotifier>(wl_display_get_fd(display), QSocketNotifier::Read);
    QObject::connect(connection->m_notifier.get(), &QSocketNotifier::activated, connection.get(),
                     [raw = connection.get()] { raw->readEvents(); });
    // Requests queue up in the client library; send them before the loop goes to sleep.
    if (auto *dispatcher = QAbstractEventDispatcher::instance()) {
        connection->m_flushBeforeSleep =
            QObject::connect(dispatcher, &QAbstractEventDispatcher::aboutToBlock, connection.get(),
                             [raw = connection.get()] { raw->flush(); });
    }
    return connection;
}

bool WaylandConnection::readSeatKeymap()
{
    SeatProbe probe;
    wl_seat_add_listener(m_seat, &seatListener, &probe);
    if (wl_display_roundtrip(m_display) < 0 || !probe.hasKeyboard)
        return false;
    wl_keyboard *keyboard = wl_seat_get_keyboard(m_seat);
    wl_keyboard_add_listener(keyboard, &keyboardListener, &probe);
    // The keymap comes right after the keyboard is made; one round trip brings it.
    wl_display_roundtrip(m_display);
    if (m_seatVersion >= WL_KEYBOARD_RELEASE_SINCE_VERSION)
        wl_keyboard_release(keyboard);
    else
        wl_keyboard_destroy(keyboard);
    m_seatKeymap = std::move(probe.keymap);
    return m_seatKeymap.has_value();
}

WaylandConnection::~WaylandConnection()
{
    QObject::disconnect(m_flushBeforeSleep);
    m_notifier.reset();
    if (m_dataControl)
        zwlr_data_control_manager_v1_destroy(m_dataControl);
    if (m_virtualKeyboards)
        wl_proxy_destroy(reinterpret_cast<wl_proxy *>(m_virtualKeyboards));
    if (m_seat) {
        if (m_seatVersion >= WL_SEAT_RELEASE_SINCE_VERSION)
            wl_seat_release(m_seat);
        else
            wl_seat_destroy(m_seat);
    }
    if (m_registry)
        wl_registry_destroy(m_registry);
    if (m_display) {
        wl_display_flush(m_display);
        wl_display_disconnect(m_display);
    }
}

void WaylandConnection::readEvents()
{
    if (!isAlive()) {
        m_notifier->setEnabled(false);
        return;
    }
    while (wl_display_prepare_read(m_display) != 0)
        wl_display_dispatch_pending(m_display);
    wl_display_flush(m_display);
    pollfd ready{wl_display_get_fd(m_display), POLLIN, 0};
    if (poll(&ready, 1, 0) > 0)
        wl_display_read_events(m_display);
    else
        wl_display_cancel_read(m_display);
    wl_display_dispatch_pending(m_display);
    if (!isAlive())
        m_notifier->setEnabled(false);
}

bool WaylandConnection::roundtrip()
{
    return isAlive() && wl_display_roundtrip(m_display) >= 0;
}

void WaylandConnection::flush()
{
    if (isAlive())
        wl_display_flush(m_display);
}

bool WaylandConnection::isAlive() const
{
    const bool alive = m_display && wl_display_get_error(m_display) == 0;
    if (!alive && m_display && !m_reportedBroken) {
        const_cast<WaylandConnection *>(this)->m_reportedBroken = true;
        qCWarning(lcWayland) << "The Wayland connection broke, error" << wl_display_get_error(m_display);
    }
    return alive;
}

} // namespace talvex::wayland
