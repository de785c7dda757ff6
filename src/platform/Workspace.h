#pragma once

#include <QRectF>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace talvex {

/// A running program as the desktop presents it.
struct RunningApplication {
    std::int32_t pid = 0;
    /// The desktop-entry ID (e.g. "org.gnome.TextEditor") when the program maps to an installed
    /// entry, else its window class; absent when neither is known.
    std::optional<QString> applicationID;
    /// The entry's name, else the window class; absent when neither is known.
    std::optional<QString> name;
    /// Window class of the window that made it frontmost ("Gnome-terminal"); empty when unknown.
    QString windowClass;
    /// Instance part of the window class ("gnome-terminal-server"); empty when unknown.
    QString windowInstance;

    friend bool operator==(const RunningApplication &, const RunningApplication &) = default;
};

/// One on-screen window, in desktop coordinates with the origin at the top-left of the primary
/// screen (Qt's convention).
struct WindowInfo {
    std::int32_t ownerPid = 0; ///< 0 when the owner is unknown
    int layer = 0;             ///< 0 for ordinary application windows; docks and panels are not 0
    QRectF bounds;             ///< the whole window including its frame
};

/// A settings page of the desktop, named independently of any desktop.
enum class SettingsPane { microphone, accessibility, sound };

/// Which program is in front, its windows, the screens, and the desktop's settings.
class Workspace {
public:
    virtual ~Workspace() = default;

    /// The program owning the active window; absent when no window is active or its owner is unknown.
    virtual std::optional<RunningApplication> frontmostApplication() = 0;

    /// This process, described like any other program.
    virtual RunningApplication currentApplication() = 0;

    /// On-screen windows front to back, desktop background and hidden windows left out; absent when
    /// the list cannot be read.
    virtual std::optional<std::vector<WindowInfo>> onScreenWindows() = 0;

    /// Screen geometries, the primary screen first; empty when there is no screen.
    virtual std::vector<QRectF> screens() = 0;

    /// Opens the desktop's own settings at `pane`. False when nothing opened (unknown desktop).
    virtual bool openSettings(SettingsPane pane) = 0;
};

} // namespace talvex
