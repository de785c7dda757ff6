#include "WaylandKeyboardPoster.h"

#include "WaylandLogging.h"

#include <xkbcommon/xkbcommon-keysyms.h>

namespace talvex::wayland {

WaylandKeyboardPoster::WaylandKeyboardPoster(std::shared_ptr<WaylandConnection> connection)
{
    if (!connection || !connection->virtualKeyboardManager()) {
        qCWarning(lcWayland) << "The compositor offers no virtual keyboard: Talvex cannot paste";
        return;
    }
    std::optional<XkbKeymap> keymap;
    if (const auto &seatKeymap = connection->seatKeymap())
        keymap = XkbKeymap::fromText(*seatKeymap);
    if (!keymap)
        keymap = XkbKeymap::fromNames();
    if (!keymap) {
        qCWarning(lcWayland) << "No keymap for the virtual keyboard";
        return;
    }
    m_keyboard = VirtualKeyboard::create(std::move(connection), *keymap);
}

WaylandKeyboardPoster::~WaylandKeyboardPoster() = default;

bool WaylandKeyboardPoster::canPostEvents()
{
    return m_keyboard && m_keyboard->isAlive();
}

bool WaylandKeyboardPoster::requestPostEventAccess()
{
    return canPostEvents();
}

std::optional<KeyboardKey> WaylandKeyboardPoster::keyFor(ChordKey key)
{
    if (!m_keyboard)
        return std::nullopt;
    std::uint32_t wanted = XKB_KEY_v;
    switch (key) {
    case ChordKey::control:
        wanted = XKB_KEY_Control_L;
        break;
    case ChordKey::shift:
        wanted = XKB_KEY_Shift_L;
        break;
    case ChordKey::v:
        wanted = XKB_KEY_v;
        break;
    case ChordKey::insert:
        wanted = XKB_KEY_Insert;
        break;
    }
    const XkbKeymap &keymap = m_keyboard->keymap();
    // The keyboard types in its first layout, so only a key that types the symbol there will do.
    for (const std::uint32_t keycode : keymap.keycodesFor(wanted)) {
        if (keymap.baseKeysym(keycode) == wanted)
            return KeyboardKey{keycode, keymap.roleOf(keycode)};
    }
    return std::nullopt;
}

std::vector<KeyboardKey> WaylandKeyboardPoster::heldKeys()
{
    std::vector<KeyboardKey> keys;
    if (!m_keyboard)
        return keys;
    for (const std::uint32_t keycode : m_keyboard->held())
        keys.push_back({keycode, m_keyboard->keymap().roleOf(keycode)});
    return keys;
}

std::optional<std::vector<KeyboardKey>> WaylandKeyboardPoster::physicallyHeldKeys()
{
    return std::nullopt;
}

bool WaylandKeyboardPoster::post(const KeyboardKey &key, bool down)
{
    return canPostEvents() && m_keyboard->post(key.id, down);
}

} // namespace talvex::wayland
