#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace talvex {

/// What a key does, as far as the paste keystroke cares.
enum class KeyRole {
    control,
    shift,
    alt,           ///< Alt or Meta
    super,         ///< Super or Hyper
    otherModifier, ///< AltGr, level shifts, mode switch: keys that would change the pasted chord
    other,         ///< letters, Space, lock keys, ...
};

/// A key of the keyboard: `id` is the backend's own key number, opaque to the logic.
struct KeyboardKey {
    std::uint32_t id = 0;
    KeyRole role = KeyRole::other;

    friend bool operator==(const KeyboardKey &, const KeyboardKey &) = default;
};

/// The keys a paste chord is made of.
enum class ChordKey { control, shift, v, insert };

/// Synthesizes key presses and releases that reach the focused window as if typed.
class KeyboardPoster {
public:
    virtual ~KeyboardPoster() = default;

    /// True when this process may post key events (the preflight); asks nobody.
    virtual bool canPostEvents() = 0;

    /// Asks for permission to post key events; returns whether it is granted now. Where no
    /// permission exists to ask for, it returns canPostEvents().
    virtual bool requestPostEventAccess() = 0;

    /// The key that types `key` in the current layout; absent when no key does (then no paste can
    /// be sent).
    virtual std::optional<KeyboardKey> keyFor(ChordKey key) = 0;

    /// Keys logically down right now, including those this process pressed.
    virtual std::vector<KeyboardKey> heldKeys() = 0;

    /// Keys the user holds on a real keyboard right now, whatever this process posted. Absent when
    /// the backend cannot tell; callers then assume nothing is held.
    virtual std::optional<std::vector<KeyboardKey>> physicallyHeldKeys() = 0;

    /// Posts one press or release of `key` and sends it on at once. False when it could not be sent.
    virtual bool post(const KeyboardKey &key, bool down) = 0;
};

} // namespace talvex
