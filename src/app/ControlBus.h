#pragma once

#include <QString>

namespace talvex {

/// How other processes reach the running Talvex on the session bus: the well-known name (which
/// also keeps Talvex to one instance per session), the control object and its interface.
namespace ControlBus {

inline QString service()
{
    return QStringLiteral("com.quindlark.Talvex");
}
inline QString path()
{
    return QStringLiteral("/com/quindlark/Talvex");
}
inline QString interface()
{
    return QStringLiteral("com.quindlark.Talvex");
}

/// A request to the running instance, one per method of the control interface.
enum class Command {
    toggle,      ///< Toggle: start when idle, else stop
    start,       ///< Start: a dictation when idle
    stop,        ///< Stop: finish a recording, abandon a dictation still preparing
    cancel,      ///< Cancel: abandon a dictation that is preparing or recording
    reopen,      ///< Reopen: Talvex was launched again; show onboarding
    openSettings ///< OpenSettings: show the settings window
};

/// The method name of `command` on the control interface.
QString method(Command command);

/// The error a command gets while the instance is still starting.
inline QString startingError()
{
    return QStringLiteral("com.quindlark.Talvex.Error.Starting");
}

} // namespace ControlBus

} // namespace talvex
