#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace talvex {

/// Modifier flags of a key event, in the stored bit values that the shortcut model reads.
namespace KeyFlags {
inline constexpr std::uint32_t shift = 0x20000;
inline constexpr std::uint32_t control = 0x40000;
inline constexpr std::uint32_t option = 0x80000; ///< Alt
inline constexpr std::uint32_t command = 0x100000; ///< Super
inline constexpr std::uint32_t function = 0x800000; ///< Fn; X11 never reports it
inline constexpr std::uint32_t capsLock = 0x10000;
inline constexpr std::uint32_t numericPad = 0x200000;
} // namespace KeyFlags

/// A platform-neutral key event: backends translate their native events into this.
struct KeyEvent {
    enum class Type { keyDown, keyUp, flagsChanged };

    Type type = Type::keyDown;
    /// Positional key code in the stored numbering (49 = Space, 9 = V, ...); keys without a
    /// counterpart are 0x10000 + the native key code.
    std::uint32_t keyCode = 0;
    std::uint32_t modifierFlags = 0; ///< KeyFlags bits held at the time of the event
    /// The text the key types with no modifier held, in the current layout; absent when unknown.
    std::optional<QString> charactersIgnoringModifiers;
    bool isRepeat = false;
    double time = 0; ///< seconds, only differences are meaningful
};

} // namespace talvex
