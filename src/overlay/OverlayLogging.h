#pragma once

#include <QLoggingCategory>

// The recorder overlay's own category: placement and drawing mode, never transcript text.
Q_DECLARE_LOGGING_CATEGORY(lcOverlay)
