#include "VirtualKeyboard.h"

#include "WaylandLogging.h"
#include "virtual-keyboard-unstable-v1-client.h"

#include <algorithm>
#include <ctime>
#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>
#include <xkbcommon/xkbcommon.h>

namespace talvex::wayland {

namespace {

constexpr std::uint32_t evdevOffset = 8;

std::uint32_t milliseconds()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::uint32_t>(now.tv_sec * 1000 + now.tv_nsec / 1000000);
}

// An anonymous file holding `text` with its terminating NUL, as wl_keyboard keymaps are sent.
int keymapFile(const std::string &text)
{
    const int fd = memfd_create("talvex-keymap", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0)
        return -1;
    const std::size_t size = text.size() + 1;
    std::size_t written = 0;
    while (written < size) {
        const ssize_t n = write(fd, text.c_str() + written, size - written);
        if (n <= 0) {
            close(fd);
            return -1;
        }
        written += static_cast<std::size_t>(n);
    }
    return fd;
}

} // namespace

std::unique_ptr<VirtualKeyboard> VirtualKeyboard::create(std::shared_ptr<WaylandConnection> connection,
                                                         const XkbKeymap &keymap)
{
    if (!connection || !connection->virtualKeyboardManager())
        return nullptr;
    std::unique_ptr<VirtualKeyboard> keyboard(new VirtualKeyboard(std::move(connection), keymap));
    if (!keyboard->m_keyboard || !keyboard->m_state)
        return nullptr;
    const std::string text = keymap.text();
    const int fd = keymapFile(text);
    if (fd < 0) {
        qCWarning(lcWayland) << "No file for the virtual keyboard's keymap";
        return nullptr;
    }
    zwp_virtual_keyboard_v1_keymap(keyboard->m_keyboard, WL_KEYBOARD_KEYMAP_FORMAT_XKB_V1, fd,
                                   static_cast<std::uint32_t>(text.size() + 1));
    close(fd);
    // A compositor that refuses virtual keyboards ends the connection here.
    if (!keyboard->m_connection->roundtrip()) {
        qCWarning(lcWayland) << "The compositor refused a virtual keyboard";
        return nullptr;
    }
    return keyboard;
}

VirtualKeyboard::VirtualKeyboard(std::shared_ptr<WaylandConnection> connection, const XkbKeymap &keymap)
    : m_connection(std::move(connection)), m_keymap(keymap),
      m_state(xkb_state_new(keymap.get()), xkb_state_unref)
{
    m_keyboard = zwp_virtual_keyboard_manager_v1_create_virtual_keyboard(
        m_connection->virtualKeyboardManager(), m_connection->seat());
}

VirtualKeyboard::~VirtualKeyboard()
{
    releaseAll();
    if (m_keyboard) {
        zwp_virtual_keyboard_v1_destroy(m_keyboard);
        m_connection->flush();
    }
}

bool VirtualKeyboard::post(std::uint32_t keycode, bool down)
{
    if (!m_keyboard || keycode < evdevOffset || !m_connection->isAlive())
        return false;
    const auto at = std::find(m_held.begin(), m_held.end(), keycode);
    if (down && at == m_held.end())
        m_held.push_back(keycode);
    else if (!down && at != m_held.end())
        m_held.erase(at);

    zwp_virtual_keyboard_v1_key(m_keyboard, milliseconds(), keycode - evdevOffset,
                                down ? WL_KEYBOARD_KEY_STATE_PRESSED : WL_KEYBOARD_KEY_STATE_RELEASED);
    // Virtual key events leave the compositor's modifier state alone: send what a keyboard would.
    xkb_state_update_key(m_state.get(), keycode, down ? XKB_KEY_DOWN : XKB_KEY_UP);
    zwp_virtual_keyboard_v1_modifiers(m_keyboard,
                                      xkb_state_serialize_mods(m_state.get(), XKB_STATE_MODS_DEPRESSED),
                                      xkb_state_serialize_mods(m_state.get(), XKB_STATE_MODS_LATCHED),
                                      xkb_state_serialize_mods(m_state.get(), XKB_STATE_MODS_LOCKED),
                                      xkb_state_serialize_layout(m_state.get(), XKB_STATE_LAYOUT_EFFECTIVE));
    return m_connection->roundtrip();
}

void VirtualKeyboard::releaseAll()
{
    while (!m_held.empty()) {
        const std::uint32_t keycode = m_held.back();
        if (!post(keycode, false)) {
            m_held.clear(); // the connection is gone, and the compositor forgets its keys with it
            return;
        }
    }
}

} // namespace talvex::wayland
