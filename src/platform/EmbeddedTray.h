#pragma once

#include <functional>

namespace talvex {

/// The older X11 system tray (XEmbed): whether a tray manager runs on this screen, and when one starts.
/// Asking never creates a tray icon, so it leaves the toolkit's own one-time choice of protocol alone.
class EmbeddedTray {
  public:
    virtual ~EmbeddedTray() = default;

    /// Whether a tray manager owns the system-tray selection of this screen now.
    virtual bool isPresent() = 0;

    /// `appeared` runs on the main thread whenever a tray manager takes the selection from now on;
    /// it replaces an earlier callback, and an empty one stops the watch.
    virtual void watch(std::function<void()> appeared) = 0;
};

} // namespace talvex
