#pragma once

#include "ModifierWatcher.h"
#include "SwaySession.h"

#include <map>
#include <memory>

namespace talvex::wayland {

/// Modifier-only chords as sway key bindings. A Wayland client cannot observe keys it has no focus
/// for, so instead of watching every key this asks sway for the one chord: a press binding on each
/// of its modifier keys with the others held (whichever comes last completes it) and a release twin
/// for each, which fires when any key of the chord is let go. The completion is reported as a change
/// to exactly the chord's modifiers, the release as a change to none. A key typed while the chord is
/// held cannot be seen; sway then skips the release, so the next completion reports the missed key
/// (an interruption) before the new press. Ordinary watches (createTap) are impossible here.
class SwayModifierWatcher final : public ModifierWatcher {
  public:
    /// `session` may be null (no sway): then no watch can start. It must outlive this.
    explicit SwayModifierWatcher(SwaySession *session);
    ~SwayModifierWatcher() override;

    std::unique_ptr<Tap> createTap(Handler handler) override;
    std::unique_ptr<Tap> createChordTap(std::uint32_t chordModifiers, Handler handler) override;
    /// Unknown on Wayland: none.
    std::uint32_t currentModifierFlags() override;

  private:
    struct Watch {
        std::uint32_t chordFlags = 0; ///< KeyFlags of the chord
        std::vector<SwaySession::Entry> entries;
        Handler handler;
        bool held = false; ///< a completion was reported and its release not yet
        bool enabled = true;
    };
    class SwayTap;

    void receive(const SwayMarker &marker, double time);
    void lost(const std::vector<SwayMarker> &markers);
    void send(Watch &watch, const ModifierEvent &event);

    SwaySession *m_session;
    std::uint32_t m_lastID = 0;
    std::map<std::uint32_t, std::shared_ptr<Watch>> m_watches;
};

} // namespace talvex::wayland
