#pragma once

#include "KeyboardPoster.h"

#include <QString>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

struct xkb_keymap;

namespace talvex::wayland {

/// One compiled XKB keymap: which keys type which symbols, and its text form for a virtual
/// keyboard. Key codes here are XKB key codes (evdev code + 8), the numbering X11 uses too.
/// Copies share the compiled keymap.
class XkbKeymap final {
  public:
    /// Compiles a keymap in the text format (what a compositor hands a wl_keyboard). Absent when it
    /// does not compile.
    static std::optional<XkbKeymap> fromText(const std::string &text);
    /// A complete keymap from evdev rules, model pc105 and `layout` (with `variant` and `options`);
    /// an empty layout takes XKB_DEFAULT_LAYOUT, else "us".
    static std::optional<XkbKeymap> fromNames(const QString &layout = {}, const QString &variant = {},
                                              const QString &options = {});

    /// The keymap in the text format, as a virtual keyboard uploads it.
    std::string text() const;

    /// Key codes that type `keysym` on the first level of any layout, lowest first; with
    /// `anyLevel`, also on shifted and higher levels.
    std::vector<std::uint32_t> keycodesFor(std::uint32_t keysym, bool anyLevel = false) const;
    /// Every symbol the key types in any layout and level.
    std::vector<std::uint32_t> keysymsOf(std::uint32_t keycode) const;
    /// The symbol on the key's first level in the first layout; 0 when it has none.
    std::uint32_t baseKeysym(std::uint32_t keycode) const;
    /// What the key is to the paste chord.
    KeyRole roleOf(std::uint32_t keycode) const;

    xkb_keymap *get() const { return m_keymap.get(); }

  private:
    explicit XkbKeymap(std::shared_ptr<xkb_keymap> keymap) : m_keymap(std::move(keymap)) {}

    std::shared_ptr<xkb_keymap> m_keymap;
};

/// The paste chord's view of a symbol: Control, Shift, Alt, Super, another modifier or a plain key.
KeyRole keyRoleOf(std::uint32_t keysym);

} // namespace talvex::wayland
