#pragma once

#include <optional>

namespace talvex {

/// Tells hold-to-talk from tap-to-toggle: from each press and release of the shortcut and the
/// dictation phase it decides whether to start, stop or cancel. Plain value, main thread only.
class DictationShortcutGesture final {
  public:
    /// The dictation phase, in the controller's order (the ordinals match, so a static_cast from
    /// the controller's own enumeration is exact).
    enum class Phase { idle, preparing, recording, transcribing, refining };

    /// What the controller does with an event.
    enum class Action { none, start, stopRecording, cancel };

    /// The accepted press waiting for its release.
    struct Press {
        double time = 0;               ///< seconds, the press's event time
        bool startedRecording = false; ///< this press started the dictation
        friend bool operator==(const Press &, const Press &) = default;
    };

    /// A release at least this long after the press that started a dictation ends it.
    static constexpr double holdThreshold = 0.3;

    /// A press or release of the shortcut while the dictation is in `phase`.
    Action handle(bool pressed, double time, Phase phase);

    /// A chord press that was already reported was interrupted by another key. True when the
    /// controller must cancel the dictation that press started.
    bool interrupt();

    /// Forgets the press; a later release is ignored.
    void reset() { m_press.reset(); }

    const std::optional<Press> &press() const { return m_press; }

  private:
    std::optional<Press> m_press;
};

} // namespace talvex
