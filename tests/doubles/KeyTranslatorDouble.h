#pragma once

#include "KeyTranslator.h"

#include <QString>
#include <map>

namespace talvex::test {

/// Key translation for tests without a keyboard: the native scan code is taken as the stored key
/// code and the native modifiers as KeyFlags. The test names the text of keys and which keys are
/// modifiers (with their flag); every call is counted.
class KeyTranslatorDouble final : public KeyTranslator {
  public:
    std::map<std::uint32_t, QString> characters;         ///< scan code -> text without modifiers
    std::map<std::uint32_t, std::uint32_t> modifierKeys; ///< scan code -> its KeyFlags bit
    mutable int calls = 0;

    KeyEvent translate(bool pressed, std::uint32_t nativeScanCode, std::uint32_t nativeModifiers,
                       bool autoRepeat, double time) const override
    {
        ++calls;
        KeyEvent event;
        event.type = pressed ? KeyEvent::Type::keyDown : KeyEvent::Type::keyUp;
        event.keyCode = nativeScanCode;
        event.modifierFlags = nativeModifiers;
        event.isRepeat = autoRepeat;
        event.time = time;
        if (const auto modifier = modifierKeys.find(nativeScanCode); modifier != modifierKeys.end()) {
            event.type = KeyEvent::Type::flagsChanged;
            event.modifierFlags =
                pressed ? (nativeModifiers | modifier->second) : (nativeModifiers & ~modifier->second);
        } else if (const auto text = characters.find(nativeScanCode); text != characters.end()) {
            event.charactersIgnoringModifiers = text->second;
        }
        return event;
    }
};

} // namespace talvex::test
