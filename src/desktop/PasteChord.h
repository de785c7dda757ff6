#pragma once

#include "KeyboardPoster.h"

#include <QString>
#include <vector>

namespace talvex {

/// The keys that paste in the target: Ctrl+V in most programs, Ctrl+Shift+V in terminal emulators,
/// Shift+Insert in the X terminals that paste only the primary selection (xterm, urxvt).
enum class PasteKeys { controlV, controlShiftV, shiftInsert };

/// The paste keystroke made to arrive as exactly that chord while the user may still hold other
/// keys. Modifiers the user holds that would change the chord are released first; only missing
/// chord modifiers are pressed; everything pressed here is released on every path, at the latest
/// when the object goes. Released user modifiers come back only if the user still holds them on a
/// real keyboard.
class PasteChord final {
  public:
    PasteChord(KeyboardPoster &keyboard, PasteKeys keys);
    ~PasteChord();
    PasteChord(const PasteChord &) = delete;
    PasteChord &operator=(const PasteChord &) = delete;

    /// The chord for a target window, told apart by its window class or instance, and by whether
    /// its focused element says it is a terminal (which also covers terminals missing from the list
    /// of classes).
    static PasteKeys keysFor(const QString &windowClass, const QString &windowInstance, bool terminalElement);

    PasteKeys keys() const { return m_keys; }
    /// True when the chord pastes the primary selection rather than the clipboard.
    bool pastesPrimary() const { return m_keys == PasteKeys::shiftInsert; }

    /// True when every key of the chord exists in the current layout.
    bool canBeSent() const { return m_valid; }

    /// Releases conflicting held modifiers and presses the missing chord modifiers.
    bool pressModifiers();
    /// The chord's key (V or Insert) down.
    bool pressKey();
    /// The key up if it is down, then releases what pressModifiers() pressed and gives back the
    /// user's modifiers that are still physically held. Safe to call more than once.
    void finish();

  private:
    KeyboardPoster &m_keyboard;
    PasteKeys m_keys;
    bool m_withControl = false;
    bool m_withShift = false;
    bool m_valid = false;
    KeyboardKey m_control;
    KeyboardKey m_shift;
    KeyboardKey m_key;
    bool m_keyDown = false;
    std::vector<KeyboardKey> m_pressed;  ///< chord modifiers pressed here, in press order
    std::vector<KeyboardKey> m_released; ///< user modifiers released here
};

} // namespace talvex
