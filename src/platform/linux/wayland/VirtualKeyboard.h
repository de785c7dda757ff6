#pragma once

#include "WaylandConnection.h"
#include "XkbKeymap.h"

#include <cstdint>
#include <memory>
#include <vector>

struct zwp_virtual_keyboard_v1;
struct xkb_state;

namespace talvex::wayland {

/// A keyboard on the compositor's seat whose keys this process presses. It uploads a complete
/// keymap (toolkits ignore shortcuts typed with a partial one) and keeps the modifier state that a
/// real keyboard's compositor would compute, because virtual key events do not change it. Keep one
/// for the life of the process: the first key of a new keyboard can reach clients before they know
/// its keymap. Every key still held is released when it goes. Main thread only.
class VirtualKeyboard final {
  public:
    /// Null when the compositor offers no virtual keyboards or refuses one.
    static std::unique_ptr<VirtualKeyboard> create(std::shared_ptr<WaylandConnection> connection,
                                                   const XkbKeymap &keymap);
    ~VirtualKeyboard();
    VirtualKeyboard(const VirtualKeyboard &) = delete;
    VirtualKeyboard &operator=(const VirtualKeyboard &) = delete;

    /// Presses or releases the key with XKB key code `keycode` and sends the resulting modifier
    /// state; returns once the compositor has taken both. False when the connection is broken.
    bool post(std::uint32_t keycode, bool down);
    /// Releases every key this keyboard holds, last pressed first.
    void releaseAll();

    /// Keys held down through this keyboard, in press order.
    const std::vector<std::uint32_t> &held() const { return m_held; }
    const XkbKeymap &keymap() const { return m_keymap; }
    bool isAlive() const { return m_connection->isAlive(); }

  private:
    VirtualKeyboard(std::shared_ptr<WaylandConnection> connection, const XkbKeymap &keymap);

    std::shared_ptr<WaylandConnection> m_connection;
    XkbKeymap m_keymap;
    zwp_virtual_keyboard_v1 *m_keyboard = nullptr;
    std::unique_ptr<xkb_state, void (*)(xkb_state *)> m_state;
    std::vector<std::uint32_t> m_held;
};

} // namespace talvex::wayland
