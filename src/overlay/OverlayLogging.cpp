#include "OverlayLogging.h"

Q_LOGGING_CATEGORY(lcOverlay, "talvex.overlay")
