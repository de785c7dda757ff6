#pragma once

// Keys typed into the private sway session through a virtual keyboard of the test's own, with the
// "us" layout. One per test program for its whole life: a headless seat has no keyboard until one
// exists, and clients learn a new keyboard's keymap only with its first key.
#include "VirtualKeyboard.h"
#include "WaylandConnection.h"
#include "XkbKeymap.h"

#include <memory>
#include <xkbcommon/xkbcommon-keysyms.h>

namespace talvex::test {

class WaylandTestKeyboard final {
  public:
    WaylandTestKeyboard()
    {
        m_connection = wayland::WaylandConnection::open();
        const auto keymap = wayland::XkbKeymap::fromNames(QStringLiteral("us"));
        if (m_connection && keymap)
            m_keyboard = wayland::VirtualKeyboard::create(m_connection, *keymap);
    }

    bool isReady() const { return m_keyboard != nullptr; }

    /// Each returns once sway has taken the event.
    void press(std::uint32_t keysym) { post(keysym, true); }
    void release(std::uint32_t keysym) { post(keysym, false); }
    void tap(std::uint32_t keysym)
    {
        press(keysym);
        release(keysym);
    }
    void releaseAll()
    {
        if (m_keyboard)
            m_keyboard->releaseAll();
    }
    /// Keys this keyboard still holds.
    std::size_t held() const { return m_keyboard ? m_keyboard->held().size() : 0; }

  private:
    void post(std::uint32_t keysym, bool down)
    {
        if (!m_keyboard)
            return;
        const auto keycodes = m_keyboard->keymap().keycodesFor(keysym);
        if (!keycodes.empty())
            m_keyboard->post(keycodes.front(), down);
    }

    std::shared_ptr<wayland::WaylandConnection> m_connection;
    std::unique_ptr<wayland::VirtualKeyboard> m_keyboard;
};

} // namespace talvex::test
