#pragma once

#include "XkbKeymap.h"

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

namespace talvex::wayland {

/// One key binding of ours in sway: a key (XKB key code, so it stays where it is whatever the
/// layout) with modifiers in the Shortcut bits, firing on press or on release.
struct SwayBinding {
    std::uint32_t modifiers = 0;
    std::uint32_t keycode = 0;
    bool release = false;

    friend bool operator==(const SwayBinding &, const SwayBinding &) = default;
};

/// What the no-op command of one of our bindings says, read back from sway's binding events: the
/// process that bound it, what it belongs to (a hot key or a chord watch and its number) and
/// whether it is the press or the release twin.
struct SwayMarker {
    enum class Kind { hotKey, chord };

    qint64 pid = 0;
    Kind kind = Kind::hotKey;
    std::uint32_t signature = 0; ///< hot keys only
    std::uint32_t id = 0;
    bool press = true;

    friend bool operator==(const SwayMarker &, const SwayMarker &) = default;
};

/// The texts of sway commands for our bindings, and their markers.
namespace SwayBindings {

/// The hot-key service's modifier bits (HotKeyService::registerHotKey).
inline constexpr std::uint32_t controlBit = 0x1000;
inline constexpr std::uint32_t altBit = 0x800;
inline constexpr std::uint32_t shiftBit = 0x200;
inline constexpr std::uint32_t superBit = 0x100;

/// "Ctrl+Mod1+Shift+Mod4+" style prefix for the Shortcut modifier bits, Ctrl, Alt, Shift, Super in
/// that order; absent when the mask holds a bit sway cannot bind (Fn).
std::optional<QString> modifierPrefix(std::uint32_t modifiers);
/// The key combination as sway writes it: "Ctrl+Shift+65".
QString combination(const SwayBinding &binding);
/// "bindcode --no-repeat --no-warn [--release] COMBO nop MARKER": without key repeat, so a held
/// key is one press.
QString bindCommand(const SwayBinding &binding, const SwayMarker &marker);
/// "unbindcode [--release] COMBO".
QString unbindCommand(const SwayBinding &binding);

/// The marker text ("talvex-shortcut 1234 hotkey 1414288984 7 press").
QString markerText(const SwayMarker &marker);
/// The marker of a binding event's command ("nop talvex-shortcut ..."); absent for any other.
std::optional<SwayMarker> parseMarker(const QString &command);

/// The press bindings that see a modifier-only chord complete, whichever of its keys comes last:
/// for each modifier of `chord` (Shortcut bits) and each key of the keymap that is that modifier,
/// that key with the other modifiers of the chord held. Empty when the keymap lacks one of them.
std::vector<SwayBinding> chordBindings(std::uint32_t chord, const XkbKeymap &keymap);

} // namespace SwayBindings

} // namespace talvex::wayland
