#pragma once

#include "KeyboardPoster.h"
#include "Xcb.h"

#include <xcb/xcb_keysyms.h>

#include <cstdint>
#include <set>

namespace talvex::x11 {

/// Key posting through XTest on its own X connection (lock state does not carry across connections,
/// so every key of one paste goes through this one). Key ids are X keycodes.
class X11KeyboardPoster final : public KeyboardPoster {
public:
    /// Connects to $DISPLAY, or `display`; without a server every answer is "cannot".
    explicit X11KeyboardPoster(const char *display = nullptr);
    /// Releases every key this poster pressed and has not released yet: a quit in the middle of a
    /// paste keystroke must not leave Ctrl or V down on the server.
    ~X11KeyboardPoster() override;
    X11KeyboardPoster(const X11KeyboardPoster &) = delete;
    X11KeyboardPoster &operator=(const X11KeyboardPoster &) = delete;

    bool canPostEvents() override;
    bool requestPostEventAccess() override;
    std::optional<KeyboardKey> keyFor(ChordKey key) override;
    std::vector<KeyboardKey> heldKeys() override;
    std::optional<std::vector<KeyboardKey>> physicallyHeldKeys() override;
    bool post(const KeyboardKey &key, bool down) override;

private:
    struct KeySymbolsDeleter {
        void operator()(xcb_key_symbols_t *symbols) const { xcb_key_symbols_free(symbols); }
    };
    using KeySymbols = std::unique_ptr<xcb_key_symbols_t, KeySymbolsDeleter>;

    /// A fresh copy of the keyboard mapping: the layout may change between two deliveries.
    KeySymbols keySymbols() const;
    KeyboardKey describe(xcb_key_symbols_t *symbols, xcb_keycode_t keycode) const;
    std::vector<KeyboardKey> keysIn(xcb_key_symbols_t *symbols, const std::uint8_t *bitmap) const;

    XcbConnection m_connection;
    xcb_window_t m_root = XCB_NONE;
    bool m_hasXTest = false;
    bool m_hasXInput = false;
    /// Keycodes pressed through this poster and not yet released.
    std::set<std::uint8_t> m_pressed;
};

} // namespace talvex::x11
