#include "SttLogging.h"

Q_LOGGING_CATEGORY(lcStt, "talvex.stt")
