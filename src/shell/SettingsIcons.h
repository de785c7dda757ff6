#pragma once

#include <QIcon>
#include <QString>

namespace talvex::SettingsIcons {

/// The freedesktop icon `themeName` from the user's icon theme when it has one, else our bundled
/// drawing of `symbol` (one of the names under icons/). An empty theme name always uses ours.
QIcon icon(const QString &themeName, const QString &symbol);

/// The application's icon: the window icon when the application set one, else the installed
/// theme icon, else the bundled one.
QIcon applicationIcon();

} // namespace talvex::SettingsIcons
