#pragma once

#include <QDBusConnection>
#include <QString>

namespace talvex {

/// One Talvex per session: whoever owns the well-known name on the session bus is the instance,
/// and a later launch hands its request to it.
namespace SingleInstance {

enum class Claim {
    owned,         ///< this process is the instance
    heldByAnother, ///< another process is: hand over and end
    unavailable,   ///< no session bus, or it refused: run anyway, without the control interface
};

/// Asks for the name without queueing and without allowing replacement. `problem` says why when
/// the answer is unavailable.
Claim claim(QDBusConnection bus, QString *problem = nullptr);

} // namespace SingleInstance

} // namespace talvex
