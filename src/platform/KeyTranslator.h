#pragma once

#include "KeyEvent.h"

#include <cstdint>

namespace talvex {

/// Turns the key events a window of ours receives into platform-neutral key events, for recording
/// a new shortcut inside the application.
class KeyTranslator {
  public:
    virtual ~KeyTranslator() = default;

    /// `nativeScanCode` and `nativeModifiers` are what QKeyEvent reports on this platform. A
    /// modifier key gives a flagsChanged event whose flags already include (press) or exclude
    /// (release) that key; any other key a keyDown or keyUp with the flags held during it and the
    /// layout's text for the key without modifiers.
    virtual KeyEvent translate(bool pressed, std::uint32_t nativeScanCode, std::uint32_t nativeModifiers,
                               bool autoRepeat, double time) const = 0;
};

} // namespace talvex
