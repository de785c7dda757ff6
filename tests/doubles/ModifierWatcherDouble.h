#pragma once

#include "KeyEvent.h"
#include "ModifierWatcher.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace talvex::test {

/// A modifier watch the test drives by key: press and release modifiers and ordinary keys, and
/// every live tap sees the resulting event. Taps are counted and can be refused or disabled.
class ModifierWatcherDouble final : public ModifierWatcher {
  public:
    bool refuseTaps = false;
    int tapsCreated = 0;
    int enableCalls = 0;
    std::vector<std::uint32_t> chordsWatched; ///< the chord of every createChordTap call

    std::unique_ptr<Tap> createTap(Handler handler) override
    {
        if (refuseTaps)
            return nullptr;
        ++tapsCreated;
        auto state = std::make_shared<TapState>(TapState{std::move(handler), true});
        m_taps.push_back(state);
        return std::make_unique<LiveTap>(state, this);
    }

    std::unique_ptr<Tap> createChordTap(std::uint32_t chordModifiers, Handler handler) override
    {
        chordsWatched.push_back(chordModifiers);
        return createTap(std::move(handler));
    }

    std::uint32_t currentModifierFlags() override { return m_flags; }

    /// Modifier keys held (KeyFlags bits) without telling any tap, as if held before watching began.
    void holdSilently(std::uint32_t flags) { m_flags = flags; }

    void pressModifier(std::uint32_t flag, double time) { change(m_flags | flag, time); }
    void releaseModifier(std::uint32_t flag, double time) { change(m_flags & ~flag, time); }
    void pressKey(double time) { send({ModifierEvent::Type::keyDown, m_flags, time}); }
    /// The system stops every live tap.
    void disableTaps(double time)
    {
        for (auto &tap : m_taps)
            tap->enabled = false;
        send({ModifierEvent::Type::disabled, m_flags, time});
    }

    /// The system stops every live tap without an event reaching anyone.
    void stopTapsSilently()
    {
        for (auto &tap : m_taps)
            tap->enabled = false;
    }

    std::size_t liveTaps() const { return m_taps.size(); }

  private:
    struct TapState {
        Handler handler;
        bool enabled;
    };

    class LiveTap final : public Tap {
      public:
        LiveTap(std::shared_ptr<TapState> state, ModifierWatcherDouble *owner)
            : m_state(std::move(state)), m_owner(owner)
        {
        }
        ~LiveTap() override { std::erase(m_owner->m_taps, m_state); }
        bool isEnabled() const override { return m_state->enabled; }
        void enable() override
        {
            ++m_owner->enableCalls;
            m_state->enabled = true;
        }

      private:
        std::shared_ptr<TapState> m_state;
        ModifierWatcherDouble *m_owner;
    };

    void change(std::uint32_t flags, double time)
    {
        m_flags = flags;
        send({ModifierEvent::Type::flagsChanged, flags, time});
    }

    void send(const ModifierEvent &event)
    {
        // Copy: a handler may destroy its own tap (re-registration).
        const auto taps = m_taps;
        for (const auto &tap : taps) {
            if (std::find(m_taps.begin(), m_taps.end(), tap) == m_taps.end())
                continue; // destroyed by an earlier handler
            // The disabled event itself is delivered; a stopped tap sees nothing else.
            if (tap->enabled || event.type == ModifierEvent::Type::disabled)
                tap->handler(event);
        }
    }

    std::uint32_t m_flags = 0;
    std::vector<std::shared_ptr<TapState>> m_taps;
};

} // namespace talvex::test
