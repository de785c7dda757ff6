#include "ControlBus.h"

namespace talvex::ControlBus {

QString method(Command command)
{
    switch (command) {
    case Command::toggle:
        return QStringLiteral("Toggle");
    case Command::start:
        return QStringLiteral("Start");
    case Command::stop:
        return QStringLiteral("Stop");
    case Command::cancel:
        return QStringLiteral("Cancel");
    case Command::reopen:
        return QStringLiteral("Reopen");
    case Command::openSettings:
        return QStringLiteral("OpenSettings");
    }
    return {};
}

} // namespace talvex::ControlBus
