#pragma once

#include "Shortcut.h"

#include <cstdint>
#include <optional>

namespace talvex {

/// Recognises a modifier-only chord while the user records a new shortcut: the largest set of
/// modifiers held together, completed when every modifier is released. Plain value.
class ModifierChordCapture final {
  public:
    /// What the recorder shows after a modifier change.
    struct Outcome {
        enum class Kind {
            nothing,   ///< nothing to show or save
            holding,   ///< one modifier held: show `mask` waiting for another key
            chordHeld, ///< two or more held together: show `mask`, saved on release
            completed, ///< all released after a chord: save `shortcut`
        };
        Kind kind = Kind::nothing;
        std::uint32_t mask = 0;
        std::optional<Shortcut> shortcut;
    };

    /// The current chord mask (Shortcut::chordModifiers of the event's flags) changed.
    Outcome modifiersChanged(std::uint32_t mask);
    /// An ordinary key went down (not a repeat): no chord until every modifier was released once.
    void ordinaryKeyDown();
    /// Recording starts afresh.
    void reset();

    std::uint32_t peak() const { return m_peak; }
    bool usedOrdinaryKey() const { return m_usedOrdinaryKey; }

  private:
    std::uint32_t m_peak = 0;
    bool m_usedOrdinaryKey = false;
};

} // namespace talvex
