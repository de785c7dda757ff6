#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>

namespace talvex {

/// What a modifier watch observed.
struct ModifierEvent {
    enum class Type {
        flagsChanged, ///< a modifier key went down or up
        keyDown,      ///< an ordinary (non-modifier) key went down
        disabled,     ///< the system stopped the watch; it stays off until enable()
    };

    Type type = Type::flagsChanged;
    std::uint32_t modifierFlags = 0; ///< KeyFlags of the modifier keys held after the event
    double time = 0;                 ///< seconds, same clock as HotKeyEvent::time
};

/// Session-wide observation of modifier keys, for shortcuts made of modifiers only. Observes and
/// never swallows, delays or alters a keystroke.
class ModifierWatcher {
  public:
    /// One running watch. Destroying it stops its events at once.
    class Tap {
      public:
        virtual ~Tap() = default;
        /// False after the system stopped the watch (a `disabled` event).
        virtual bool isEnabled() const = 0;
        /// Restarts a watch that the system stopped.
        virtual void enable() = 0;
    };

    using Handler = std::function<void(const ModifierEvent &)>;

    virtual ~ModifierWatcher() = default;

    /// Starts an enabled watch delivering every modifier change and ordinary key-down to `handler`;
    /// null when watching is impossible. The handler runs on the main thread from the event loop,
    /// never from inside a call into this service. A key that the system reports released twice
    /// gives one change.
    virtual std::unique_ptr<Tap> createTap(Handler handler) = 0;

    /// Starts a watch for one modifier-only chord (`chordModifiers` in the hot-key modifier bits).
    /// A backend that can observe every key (the default) starts an ordinary watch; one that can
    /// only ask the system for that chord reports the chord's completion as a change to exactly
    /// its modifiers and its release as a change to none.
    virtual std::unique_ptr<Tap> createChordTap(std::uint32_t chordModifiers, Handler handler)
    {
        (void)chordModifiers;
        return createTap(std::move(handler));
    }

    /// KeyFlags of the modifier keys held on the keyboard right now.
    virtual std::uint32_t currentModifierFlags() = 0;
};

} // namespace talvex
