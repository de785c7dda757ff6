#include "TrayHostWait.h"

#include "StatusNotifierHostWatch.h"
#include "platform/EmbeddedTray.h"
#include "platform/Logging.h"

namespace talvex {

TrayHostWait::TrayHostWait(QDBusConnection bus, EmbeddedTray *embedded, std::chrono::milliseconds bound,
                           QObject *parent)
    : QObject(parent), m_statusNotifier(new StatusNotifierHostWatch(std::move(bus), this)),
      m_embedded(embedded)
{
    m_bound.setSingleShot(true);
    m_bound.setInterval(bound);
    connect(&m_bound, &QTimer::timeout, this, [this] { take(m_availability.waitEnded()); });
    connect(m_statusNotifier, &StatusNotifierHostWatch::stateChanged, this, [this](bool watcher, bool host) {
        qCDebug(lcApp, "StatusNotifier watcher %s, host %s", watcher ? "present" : "absent",
                host ? "registered" : "not registered");
        take(m_availability.statusNotifierChanged(watcher, host));
    });
}

TrayHostWait::~TrayHostWait()
{
    if (m_embedded)
        m_embedded->watch({});
}

void TrayHostWait::start()
{
    qCInfo(lcApp, "Waiting for a system tray");
    m_bound.start();
    if (m_embedded) {
        m_embedded->watch([this] { take(m_availability.embeddedTrayChanged(true)); });
        take(m_availability.embeddedTrayChanged(m_embedded->isPresent()));
    }
    m_statusNotifier->start();
}

void TrayHostWait::take(TrayAvailability::Step step)
{
    if (m_done)
        return;
    switch (step) {
    case TrayAvailability::Step::wait:
        return;
    case TrayAvailability::Step::reportMissing:
        qCInfo(lcApp, "No system tray after %lld s; still watching for one",
               static_cast<long long>(std::chrono::duration_cast<std::chrono::seconds>(
                                          std::chrono::milliseconds(m_bound.interval()))
                                          .count()));
        emit missing();
        return;
    case TrayAvailability::Step::createIcon: {
        m_done = true;
        m_bound.stop();
        if (m_embedded)
            m_embedded->watch({});
        const TrayProtocol protocol = *m_availability.protocol();
        qCInfo(lcApp, "System tray found: %s",
               protocol == TrayProtocol::statusNotifier ? "StatusNotifier host" : "XEmbed tray");
        emit ready(protocol);
        return;
    }
    }
}

} // namespace talvex
