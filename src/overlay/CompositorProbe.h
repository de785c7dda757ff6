#pragma once

namespace talvex::CompositorProbe {

/// Whether a compositing manager blends windows on this display, so see-through pixels show what
/// lies beneath instead of black. On X11: someone owns _NET_WM_CM_S<screen>. Windowing systems that
/// always composite answer true; a display Qt cannot describe answers false.
bool active();

} // namespace talvex::CompositorProbe
