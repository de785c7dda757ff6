#include "TrayAvailability.h"

namespace talvex {

TrayAvailability::Step TrayAvailability::statusNotifierChanged(bool watcherPresent, bool hostRegistered)
{
    m_watcher = watcherPresent ? Watcher::present : Watcher::absent;
    m_hostRegistered = watcherPresent && hostRegistered;
    return decide();
}

TrayAvailability::Step TrayAvailability::embeddedTrayChanged(bool present)
{
    m_embedded = present;
    return decide();
}

TrayAvailability::Step TrayAvailability::waitEnded()
{
    m_waitEnded = true;
    return decide();
}

TrayAvailability::Step TrayAvailability::decide()
{
    if (m_protocol)
        return Step::wait;
    if (m_hostRegistered) {
        m_protocol = TrayProtocol::statusNotifier;
        return Step::createIcon;
    }
    // An XEmbed tray is taken at once only when no StatusNotifier watcher runs: a watcher is usually
    // a panel still registering its host, which draws icons better. Once the wait is over it is
    // taken anyway rather than showing nothing.
    if (m_embedded && (m_watcher == Watcher::absent || m_waitEnded)) {
        m_protocol = TrayProtocol::xembed;
        return Step::createIcon;
    }
    if (m_waitEnded && !m_reported) {
        m_reported = true;
        return Step::reportMissing;
    }
    return Step::wait;
}

} // namespace talvex
