#pragma once

#include "HotKeyService.h"
#include "X11EventConnection.h"

#include <memory>
#include <vector>

namespace talvex::x11 {

/// Hot keys as passive key grabs on the root window, one per combination of the lock modifiers
/// (Caps Lock, Num Lock) so that neither keeps the shortcut from firing. A grab another client
/// holds is refused by the server (BadAccess), and then nothing of the attempt stays grabbed.
class X11HotKeyService final : public HotKeyService {
  public:
    /// `connection` may be null (no display): then nothing can be registered.
    explicit X11HotKeyService(std::shared_ptr<X11EventConnection> connection);
    ~X11HotKeyService() override;

    bool isAvailable() override;
    bool installHandler(Handler handler) override;
    std::unique_ptr<Registration> registerHotKey(std::uint32_t code, std::uint32_t modifiers,
                                                 HotKeyID identifier) override;

  private:
    struct Grab {
        std::uint8_t keycode;
        std::uint16_t modifiers; ///< without the lock bits
        HotKeyID identifier;
        /// Sequence number of the first grab request: key events the server generated before it
        /// took the grab belong to whatever held the key before.
        std::uint32_t sequence;
    };
    class X11Registration;

    void receive(const xcb_generic_event_t *event);
    std::vector<std::uint16_t> lockCombinations() const;
    void ungrab(const Grab &grab);

    std::shared_ptr<X11EventConnection> m_connection;
    int m_listener = -1;
    Handler m_handler;
    std::vector<Grab> m_grabs;
    /// The grab whose key is down: its release counts whatever modifiers are left by then.
    std::optional<Grab> m_pressed;
};

} // namespace talvex::x11
