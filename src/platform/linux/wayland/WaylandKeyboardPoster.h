#pragma once

#include "KeyboardPoster.h"
#include "VirtualKeyboard.h"

#include <memory>

namespace talvex::wayland {

/// Key posting through one long-lived virtual keyboard with the user's layout: the seat keyboard's
/// keymap when the compositor shows one, else evdev rules with XKB_DEFAULT_LAYOUT (or "us"). Key ids
/// are XKB key codes. The keys of a real keyboard cannot be seen from here, so only the keys this
/// keyboard pressed count as held.
class WaylandKeyboardPoster final : public KeyboardPoster {
  public:
    /// `connection` may be null or lack virtual keyboards: then every answer is "cannot".
    explicit WaylandKeyboardPoster(std::shared_ptr<WaylandConnection> connection);
    ~WaylandKeyboardPoster() override;

    bool canPostEvents() override;
    bool requestPostEventAccess() override;
    std::optional<KeyboardKey> keyFor(ChordKey key) override;
    std::vector<KeyboardKey> heldKeys() override;
    std::optional<std::vector<KeyboardKey>> physicallyHeldKeys() override;
    bool post(const KeyboardKey &key, bool down) override;

  private:
    std::unique_ptr<VirtualKeyboard> m_keyboard;
};

} // namespace talvex::wayland
