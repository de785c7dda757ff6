#pragma once

// Talvex's windows as the X server sees them, for tray tests that look from outside the process:
// the icon window an XEmbed tray embeds, and the menu a click opens.

#include <QByteArrayList>
#include <QRect>
#include <cstdint>
#include <optional>
#include <vector>

namespace talvex::test {

struct XWindow {
    std::uint32_t id = 0;
    QRect geometry;                ///< in root-window coordinates
    bool viewable = false;         ///< mapped, with every ancestor mapped
    bool embedded = false;         ///< carries _XEMBED_INFO: an XEmbed client such as a tray icon
    bool overrideRedirect = false; ///< placed by the program itself: popups, menus, tooltips
    bool topLevel = false;         ///< a child of the root window (not reparented into another)
    QByteArrayList types;          ///< _NET_WM_WINDOW_TYPE atom names
};

/// Every window whose _NET_WM_PID is `pid`, anywhere in the tree.
std::vector<XWindow> windowsOf(qint64 pid);

/// The tray icon of `pid` once a tray has embedded and mapped it.
std::optional<XWindow> viewableIcon(qint64 pid);
/// An open popup menu of `pid`: a viewable override-redirect window that is not a tooltip.
std::optional<XWindow> openMenu(qint64 pid);

/// Moves the pointer to the middle of `geometry` and clicks `button` (XTest, one connection).
void click(const QRect &geometry, std::uint8_t button);

} // namespace talvex::test
