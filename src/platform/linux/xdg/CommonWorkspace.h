#pragma once

#include "DesktopEntries.h"
#include "Workspace.h"

#include <vector>

namespace talvex::xdg {

/// This process as a Workspace describes programs: its desktop-entry ID (else its application name),
/// display name, and its name as window class and instance. The same on every desktop.
RunningApplication thisApplication();

/// Names `app` after its desktop entry (found by `applicationId`, then by its window class and
/// instance), else after its window class; leaves it unnamed when neither is known.
void nameAfterEntry(RunningApplication &app, const DesktopEntries &entries, const QString &applicationId);

/// Qt's screens, the primary first: for backends whose desktop tells no more than Qt knows.
std::vector<QRectF> qtScreens();

} // namespace talvex::xdg
