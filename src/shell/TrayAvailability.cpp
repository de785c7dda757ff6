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
    // Qt takes the StatusNotifier protocol whenever a watcher runs, so an XEmbed tray can only be
    // used while none does. A watcher without a host may be waiting for its panel: keep waiting.
    if (m_embedded && m_watcher == Watcher::absent) {
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
