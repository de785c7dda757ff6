#include "SingleInstance.h"

#include "ControlBus.h"

#include <QDBusConnectionInterface>
#include <QDBusReply>

namespace talvex::SingleInstance {

Claim claim(QDBusConnection bus, QString *problem)
{
    auto fail = [problem](const QString &why) {
        if (problem)
            *problem = why;
        return Claim::unavailable;
    };
    if (!bus.isConnected() || !bus.interface())
        return fail(bus.lastError().isValid() ? bus.lastError().message()
                                              : QStringLiteral("there is no D-Bus session bus"));
    const QDBusReply<QDBusConnectionInterface::RegisterServiceReply> reply =
        bus.interface()->registerService(ControlBus::service(), QDBusConnectionInterface::DontQueueService,
                                         QDBusConnectionInterface::DontAllowReplacement);
    if (!reply.isValid())
        return fail(reply.error().message());
    switch (reply.value()) {
    case QDBusConnectionInterface::ServiceRegistered:
        return Claim::owned;
    case QDBusConnectionInterface::ServiceNotRegistered:
    case QDBusConnectionInterface::ServiceQueued:
        return Claim::heldByAnother;
    }
    return Claim::heldByAnother;
}

} // namespace talvex::SingleInstance
