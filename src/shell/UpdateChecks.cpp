#include "UpdateChecks.h"

#include "platform/Updater.h"

namespace talvex {

UpdateChecks UpdateChecks::over(Updater *updater)
{
    if (!updater)
        return {};
    return {[updater] { return updater->canCheckForUpdates(); }, [updater] { updater->checkForUpdates(); }};
}

} // namespace talvex
