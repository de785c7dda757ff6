#pragma once

#include "platform/KeyEvent.h"

#include <QJsonObject>
#include <QJsonValue>
#include <QString>
#include <cstdint>
#include <optional>

namespace talvex {

/// The one system-wide dictation shortcut: an ordinary hot key (a key with modifiers, or a function
/// key alone) or a modifier-only chord (`code` == chordKeyCode). Immutable value.
class Shortcut final {
  public:
    /// Modifier mask bits. The first four are the hot-key service's own bits, so an ordinary
    /// shortcut's mask is passed to it unchanged.
    static constexpr std::uint32_t controlKey = 0x1000;
    static constexpr std::uint32_t optionKey = 0x800; ///< Alt
    static constexpr std::uint32_t shiftKey = 0x200;
    static constexpr std::uint32_t commandKey = 0x100; ///< Super
    /// Fn; only ever set in chord masks.
    static constexpr std::uint32_t chordFunctionFlag = 0x1000000;
    /// Key code that marks a modifier-only chord.
    static constexpr std::uint32_t chordKeyCode = 0xFFFFFFFF;
    /// Every bit this model knows; other bits are ignored by labels and the editing check.
    static constexpr std::uint32_t knownModifiers =
        controlKey | optionKey | shiftKey | commandKey | chordFunctionFlag;

    Shortcut(std::uint32_t code, std::uint32_t modifiers, QString keyLabel);

    /// Ctrl+Shift+Space (49, 0x1200, "Space"): fresh preferences, and the replacement for a stored
    /// shortcut that is an editing command.
    static Shortcut defaultShortcut();
    /// A modifier-only chord with `modifiers` as its mask and no key label.
    static Shortcut chord(std::uint32_t modifiers);

    std::uint32_t code() const { return m_code; }
    std::uint32_t modifiers() const { return m_modifiers; }
    const QString &keyLabel() const { return m_keyLabel; }
    bool isChord() const { return m_code == chordKeyCode; }

    /// Hot-key mask of KeyFlags bits: Control, Alt, Shift, Super. Fn and lock/keypad flags dropped.
    static std::uint32_t hotKeyModifiers(std::uint32_t keyFlags);
    /// Chord mask of KeyFlags bits: the hot-key mask plus Fn as chordFunctionFlag.
    static std::uint32_t chordModifiers(std::uint32_t keyFlags);

    /// Modifier names of `mask` in the order Ctrl, Alt, Shift, Super, Fn, joined with "+";
    /// "" for an empty mask. Used for chord progress while recording.
    static QString modifierLabel(std::uint32_t mask);
    /// What the user sees: "Ctrl+Shift+Space", "F9", "Ctrl+Alt".
    QString displayText() const;

    /// True for the editing commands no dictation shortcut may take over: Super or Ctrl with
    /// A, X, C, V alone, and Z alone or with Shift. Exact masks; chords never.
    bool reservedForEditing() const;

    /// The shortcut a key-down event names, or nothing for an ordinary key without a modifier.
    static std::optional<Shortcut> fromEvent(const KeyEvent &event);

    /// Object form {"code", "modifiers", "keyLabel"}; always this form, never the legacy string.
    QJsonObject toJson() const;
    /// Reads the object form or one of the three legacy strings. On failure returns nothing and
    /// puts a description in `error` (when given); nothing is substituted.
    static std::optional<Shortcut> fromJson(const QJsonValue &value, QString *error = nullptr);

    friend bool operator==(const Shortcut &, const Shortcut &) = default;

  private:
    std::uint32_t m_code;
    std::uint32_t m_modifiers;
    QString m_keyLabel;
};

} // namespace talvex
