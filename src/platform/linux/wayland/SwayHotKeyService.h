#pragma once

#include "HotKeyService.h"
#include "SwaySession.h"

namespace talvex::wayland {

/// Hot keys as sway key bindings: a press binding and a release twin per hot key, both running a
/// no-op command that carries our marker, read back from sway's binding events. The key is taken
/// by the compositor like an X grab; a combination the user bound in sway is refused. Key codes are
/// placed by position (as the X11 backend places them); times are CLOCK_MONOTONIC seconds at arrival.
class SwayHotKeyService final : public HotKeyService {
  public:
    /// `session` may be null (no sway): then nothing can be registered. It must outlive this.
    explicit SwayHotKeyService(SwaySession *session);
    ~SwayHotKeyService() override;

    bool isAvailable() override;
    bool installHandler(Handler handler) override;
    std::unique_ptr<Registration> registerHotKey(std::uint32_t code, std::uint32_t modifiers,
                                                 HotKeyID identifier) override;

  private:
    class SwayRegistration;

    void receive(const SwayMarker &marker, double time);

    SwaySession *m_session;
    Handler m_handler;
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace talvex::wayland
