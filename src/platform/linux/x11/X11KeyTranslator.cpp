#include "X11KeyTranslator.h"

namespace talvex::x11 {

X11KeyTranslator::X11KeyTranslator(std::shared_ptr<X11EventConnection> connection)
    : m_connection(std::move(connection))
{
}

KeyEvent X11KeyTranslator::translate(bool pressed, std::uint32_t nativeScanCode,
                                     std::uint32_t nativeModifiers, bool autoRepeat, double time) const
{
    const auto keycode = static_cast<std::uint8_t>(nativeScanCode);
    const auto state = static_cast<std::uint16_t>(nativeModifiers);
    const auto type = pressed ? KeyEvent::Type::keyDown : KeyEvent::Type::keyUp;
    if (!m_connection || nativeScanCode > 255) {
        KeyEvent event;
        event.type = type;
        event.keyCode = storedKeyCode(keycode);
        event.isRepeat = autoRepeat;
        event.time = time;
        return event;
    }

    const X11KeyTranslation &keys = m_connection->keys();
    KeyEvent event = keys.keyEvent(type, keycode, state, time);
    event.isRepeat = autoRepeat;
    const ModifierKey modifier = keys.modifierKey(keycode);
    const std::uint32_t flag = keyFlagOf(modifier);
    // A modifier key changes flags and types nothing. Caps Lock, Num Lock and the level and group
    // shifts are modifier keys too, though they change no flag that a shortcut or chord uses.
    if (flag || modifier == ModifierKey::lock) {
        event.type = KeyEvent::Type::flagsChanged;
        // X reports the state from before the event; the key's own change is added here.
        event.modifierFlags = pressed ? (event.modifierFlags | flag) : (event.modifierFlags & ~flag);
        event.charactersIgnoringModifiers.reset();
    }
    return event;
}

} // namespace talvex::x11
