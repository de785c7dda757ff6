#pragma once

#include "ModifierWatcher.h"
#include "X11EventConnection.h"

#include <map>
#include <memory>
#include <vector>

namespace talvex::x11 {

/// Modifier watching from XInput 2 raw key events on the root window: they are only observed, so
/// no keystroke is held back or changed. The state of each modifier key is tracked here because
/// the server may report a release twice.
class X11ModifierWatcher final : public ModifierWatcher {
  public:
    /// `connection` may be null (no display): then no watch can start.
    explicit X11ModifierWatcher(std::shared_ptr<X11EventConnection> connection);
    ~X11ModifierWatcher() override;

    std::unique_ptr<Tap> createTap(Handler handler) override;
    std::uint32_t currentModifierFlags() override;

  private:
    struct TapState {
        Handler handler;
    };
    class X11Tap;

    void receive(const xcb_generic_event_t *event);
    void select(bool on);
    void send(const ModifierEvent &event);
    /// Modifier keys held now according to the server, keycode by keycode.
    std::map<std::uint8_t, ModifierKey> queryHeldModifiers();
    std::uint32_t trackedFlags() const;

    std::shared_ptr<X11EventConnection> m_connection;
    int m_listener = -1;
    std::vector<std::shared_ptr<TapState>> m_taps;
    std::map<std::uint8_t, ModifierKey> m_held;
    /// Sequence number of the request that started the watch: raw events generated before the
    /// server took it belong to an earlier watch and are dropped.
    std::uint32_t m_selectSequence = 0;
};

} // namespace talvex::x11
