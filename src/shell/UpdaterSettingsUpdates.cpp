#include "UpdaterSettingsUpdates.h"

#include "platform/Updater.h"

namespace talvex {

UpdaterSettingsUpdates::UpdaterSettingsUpdates(Updater *updater, QObject *parent)
    : SettingsUpdates(parent), m_updater(updater)
{
    refresh();
}

void UpdaterSettingsUpdates::setAutomaticUpdates(bool enabled)
{
    if (m_updater)
        m_updater->setAutomaticallyDownloadsUpdates(enabled);
    refresh();
}

void UpdaterSettingsUpdates::check()
{
    if (m_updater && m_updater->canCheckForUpdates())
        m_updater->checkForUpdates();
}

void UpdaterSettingsUpdates::refresh()
{
    const bool canCheck = m_updater && m_updater->canCheckForUpdates();
    const bool automatic = m_updater && m_updater->automaticallyDownloadsUpdates();
    if (canCheck == m_canCheck && automatic == m_automatic)
        return;
    m_canCheck = canCheck;
    m_automatic = automatic;
    emit changed();
}

} // namespace talvex
