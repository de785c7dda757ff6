#include "WaylandLogging.h"

Q_LOGGING_CATEGORY(lcWayland, "talvex.wayland")
