#pragma once

#include "Workspace.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace talvex::xdg {

/// Opens the running desktop's own settings program at a page.
class SettingsPanes final {
public:
    /// The command line that shows `pane` on the desktop named by $XDG_CURRENT_DESKTOP-style
    /// `desktops` (colon-separated); absent for a desktop we do not know.
    static std::optional<QStringList> command(const QString &desktops, SettingsPane pane);

    /// Starts that command for the current desktop, detached. False when the desktop is unknown or
    /// its settings program is not installed or did not start.
    static bool open(SettingsPane pane);
};

} // namespace talvex::xdg
