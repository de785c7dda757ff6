#pragma once

#include <QLoggingCategory>

// The Wayland and sway backends: connection, virtual keyboard, clipboard, compositor bindings.
Q_DECLARE_LOGGING_CATEGORY(lcWayland)
