#pragma once

#include "KeyboardPoster.h"

#include <QString>

#include <vector>

namespace talvex {

/// The paste keystroke (Ctrl+V, or Ctrl+Shift+V for terminal emulators) made to arrive as exactly
/// that chord while the user may still hold other keys. Modifiers the user holds that would change
/// the chord are released first; only missing chord modifiers are pressed; everything pressed here
/// is released on every path, at the latest when the object goes. Released user modifiers come back
/// only if the user still holds them on a real keyboard.
class PasteChord final {
public:
    PasteChord(KeyboardPoster &keyboard, bool withShift);
    ~PasteChord();
    PasteChord(const PasteChord &) = delete;
    PasteChord &operator=(const PasteChord &) = delete;

    /// Terminal emulators paste with Ctrl+Shift+V; told apart by window class or instance.
    static bool isTerminal(const QString &windowClass, const QString &windowInstance);

    /// True when every key of the chord exists in the current layout.
    bool canBeSent() const { return m_valid; }

    /// Releases conflicting held modifiers and presses the missing chord modifiers.
    bool pressModifiers();
    /// V down.
    bool pressKey();
    /// V up if it is down, then releases what pressModifiers() pressed and gives back the user's
    /// modifiers that are still physically held. Safe to call more than once.
    void finish();

private:
    KeyboardPoster &m_keyboard;
    bool m_withShift;
    bool m_valid = false;
    KeyboardKey m_control;
    KeyboardKey m_shift;
    KeyboardKey m_v;
    bool m_vDown = false;
    std::vector<KeyboardKey> m_pressed;  ///< chord modifiers pressed here, in press order
    std::vector<KeyboardKey> m_released; ///< user modifiers released here
};

} // namespace talvex
