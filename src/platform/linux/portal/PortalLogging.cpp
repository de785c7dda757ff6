#include "PortalLogging.h"

Q_LOGGING_CATEGORY(lcPortal, "talvex.portal")
