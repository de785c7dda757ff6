#pragma once

#include <optional>

namespace talvex {

/// The protocol a tray icon speaks to its host.
enum class TrayProtocol {
    statusNotifier, ///< StatusNotifierItem and dbusmenu on the session bus
    xembed,         ///< the older X11 system tray, an icon window embedded in the panel
};

/// Decides when the tray icon may be created and over which protocol. Qt chooses the protocol once,
/// when the first icon is made, and for good: StatusNotifierItem if a watcher owns its name at that
/// moment (Qt 6.4; later versions ask whether a host is registered), else XEmbed. So the icon is
/// made only once a StatusNotifier host is registered, or an XEmbed tray runs and no watcher does,
/// and never before we know whether a watcher runs at all. Feed it what is observed; each call says
/// what to do now.
class TrayAvailability final {
  public:
    enum class Step {
        wait,         ///< nothing to do yet
        createIcon,   ///< make the icon now; protocol() says which one Qt will pick
        reportMissing ///< the wait is over without a tray: tell the user, once, and keep watching
    };

    /// Whether a StatusNotifier watcher owns its name, and whether it reports a registered host.
    Step statusNotifierChanged(bool watcherPresent, bool hostRegistered);
    /// Whether an XEmbed tray manager owns the tray selection of this screen.
    Step embeddedTrayChanged(bool present);
    /// The bounded wait at start-up has ended.
    Step waitEnded();

    /// The protocol chosen with createIcon; absent until then.
    std::optional<TrayProtocol> protocol() const { return m_protocol; }

  private:
    Step decide();

    enum class Watcher { unknown, absent, present };
    Watcher m_watcher = Watcher::unknown;
    bool m_hostRegistered = false;
    bool m_embedded = false;
    bool m_waitEnded = false;
    bool m_reported = false;
    std::optional<TrayProtocol> m_protocol;
};

} // namespace talvex
