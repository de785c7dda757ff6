#pragma once

#include "TrayMenuModel.h"

#include <QIcon>
#include <QString>
#include <QStringList>

namespace talvex::TrayIcons {

/// Icon-theme names for `kind`, best first: the desktop's own symbolic icons where the freedesktop
/// naming has one, then ours (installed with the application).
QStringList themeNames(TrayIconKind kind);

/// The bundled picture for `kind`, used when the icon theme has none of the names.
QString bundledFile(TrayIconKind kind);

/// The first theme icon that exists, else the bundled picture. Never null.
QIcon icon(TrayIconKind kind);

} // namespace talvex::TrayIcons
