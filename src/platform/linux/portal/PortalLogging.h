#pragma once

#include <QLoggingCategory>

// The desktop portal clients: sessions, requests, consent.
Q_DECLARE_LOGGING_CATEGORY(lcPortal)
