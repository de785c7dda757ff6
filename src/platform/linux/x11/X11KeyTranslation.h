#pragma once

#include "KeyEvent.h"
#include "Xcb.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <xcb/xcb_keysyms.h>

namespace talvex::x11 {

/// Stored key code of an X keycode, by position: X keycode -> evdev code -> the stored numbering
/// for letters, digits, punctuation, F1-F20, navigation and keypad keys; 0x10000 + the X keycode
/// for keys without a counterpart.
std::uint32_t storedKeyCode(std::uint8_t xKeycode);
/// The X keycode of a stored key code; absent when no key of this numbering has that code.
std::optional<std::uint8_t> xKeycodeFor(std::uint32_t storedCode);

/// What a key is to the modifier watch.
enum class ModifierKey {
    none, ///< an ordinary key
    control,
    shift,
    alt,
    super,
    lock, ///< Caps Lock, Num Lock, level and group shifts: neither a chord key nor typing
};

/// KeyFlags bit of a modifier key (0 for none and lock).
std::uint32_t keyFlagOf(ModifierKey key);

/// The keyboard mapping of one X connection: keysyms, which modifier bits Alt, Super and Num Lock
/// are on, and the text a key types. Refresh it when the server reports a mapping change.
class X11KeyTranslation final {
  public:
    explicit X11KeyTranslation(xcb_connection_t *connection);

    /// Reads the keyboard and modifier mapping again.
    void refresh();

    ModifierKey modifierKey(std::uint8_t xKeycode) const;
    /// KeyFlags of an X modifier state (Super as Command, Lock as Caps Lock).
    std::uint32_t keyFlags(std::uint16_t state) const;
    /// X modifier mask of a Shortcut mask; absent when a modifier has no X bit on this server or
    /// the mask holds Fn, which X cannot grab.
    std::optional<std::uint16_t> xModifiers(std::uint32_t shortcutModifiers) const;
    std::uint16_t numLockMask() const { return m_numLockMask; }

    /// The text the key types with no modifier in the current layout; absent when it types none.
    std::optional<QString> characters(std::uint8_t xKeycode) const;

    /// A platform-neutral key event from an X key event.
    KeyEvent keyEvent(KeyEvent::Type type, std::uint8_t xKeycode, std::uint16_t state, double time) const;

  private:
    struct KeySymbolsDeleter {
        void operator()(xcb_key_symbols_t *symbols) const { xcb_key_symbols_free(symbols); }
    };

    xcb_connection_t *m_connection;
    std::unique_ptr<xcb_key_symbols_t, KeySymbolsDeleter> m_symbols;
    std::uint16_t m_altMask = 0;
    std::uint16_t m_superMask = 0;
    std::uint16_t m_numLockMask = 0;
};

} // namespace talvex::x11
