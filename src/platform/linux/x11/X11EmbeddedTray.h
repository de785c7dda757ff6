#pragma once

#include "EmbeddedTray.h"
#include "Xcb.h"

#include <QObject>
#include <memory>

class QSocketNotifier;

namespace talvex::x11 {

/// The XEmbed system tray of the default screen: its manager owns the selection
/// _NET_SYSTEM_TRAY_S<screen> and announces itself with a MANAGER client message on the root
/// window. A connection of our own selects structure events on the root window to hear it.
class X11EmbeddedTray final : public QObject, public EmbeddedTray {
    Q_OBJECT
  public:
    /// Null when the display cannot be reached.
    static std::unique_ptr<X11EmbeddedTray> open(const char *display = nullptr);
    ~X11EmbeddedTray() override;

    bool isPresent() override;
    void watch(std::function<void()> appeared) override;

  private:
    X11EmbeddedTray(XcbConnection connection, int screen);
    void readEvents(bool fromSocket);

    XcbConnection m_connection;
    xcb_window_t m_root = XCB_NONE;
    xcb_atom_t m_selection = XCB_NONE;
    xcb_atom_t m_manager = XCB_NONE;
    std::unique_ptr<QSocketNotifier> m_notifier;
    std::function<void()> m_appeared;
};

} // namespace talvex::x11
