#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <memory>
#include <optional>
#include <string>

struct wl_display;
struct wl_registry;
struct wl_seat;
struct zwp_virtual_keyboard_manager_v1;
struct zwlr_data_control_manager_v1;

namespace talvex::wayland {

/// This process's one connection to the Wayland compositor, for the protocols Talvex speaks
/// itself (the toolkit keeps its own display connection). Binds the first seat, the virtual
/// keyboard manager and the data-control manager when the compositor offers them, and dispatches
/// events from the Qt event loop. Main thread only.
class WaylandConnection final : public QObject {
    Q_OBJECT
  public:
    /// Connects to $WAYLAND_DISPLAY (or `name`) and reads the globals. Null when no compositor
    /// answers or it offers no seat.
    static std::shared_ptr<WaylandConnection> open(const char *name = nullptr);
    ~WaylandConnection() override;

    wl_display *display() const { return m_display; }
    wl_seat *seat() const { return m_seat; }
    /// Null when the compositor offers no virtual keyboards.
    zwp_virtual_keyboard_manager_v1 *virtualKeyboardManager() const { return m_virtualKeyboards; }
    /// Null when the compositor offers no clipboard control.
    zwlr_data_control_manager_v1 *dataControlManager() const { return m_dataControl; }

    /// The keymap text of the seat's keyboard when the connection was opened (the user's layout);
    /// absent when the seat had no keyboard then.
    const std::optional<std::string> &seatKeymap() const { return m_seatKeymap; }

    /// Sends what is queued and waits until the compositor has handled it, dispatching every event
    /// it sent meanwhile. False once the connection is broken.
    bool roundtrip();
    /// Sends what is queued.
    void flush();
    /// False once the compositor closed the connection or reported a protocol error.
    bool isAlive() const;

  private:
    WaylandConnection() = default;
    void readEvents();
    bool readSeatKeymap();

    static void global(void *data, wl_registry *registry, std::uint32_t name, const char *interface,
                       std::uint32_t version);
    static void globalRemove(void *data, wl_registry *registry, std::uint32_t name);

    wl_display *m_display = nullptr;
    wl_registry *m_registry = nullptr;
    wl_seat *m_seat = nullptr;
    std::uint32_t m_seatVersion = 0;
    zwp_virtual_keyboard_manager_v1 *m_virtualKeyboards = nullptr;
    zwlr_data_control_manager_v1 *m_dataControl = nullptr;
    std::optional<std::string> m_seatKeymap;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QMetaObject::Connection m_flushBeforeSleep;
    bool m_reportedBroken = false;
};

} // namespace talvex::wayland
