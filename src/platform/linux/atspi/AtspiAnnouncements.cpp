#include "AtspiAnnouncements.h"

#include "Logging.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QStringList>

namespace talvex::atspi {

namespace {

const QString registryService = QStringLiteral("org.a11y.atspi.Registry");
const QString registryPath = QStringLiteral("/org/a11y/atspi/registry");
const QString registryInterface = QStringLiteral("org.a11y.atspi.Registry");
const QString objectEvents = QStringLiteral("org.a11y.atspi.Event.Object");

// The registry's event names and the signals that carry them.
struct Event {
    const char *name;
    const char *member;
};
constexpr Event events[] = {
    {"object:text-caret-moved", "TextCaretMoved"},
    {"object:text-changed", "TextChanged"},
};

} // namespace

AtspiAnnouncements::AtspiAnnouncements(QObject *parent) : QObject(parent)
{
}

AtspiAnnouncements::~AtspiAnnouncements()
{
    stop();
}

bool AtspiAnnouncements::start(QDBusConnection bus, int timeoutMs)
{
    if (m_bus)
        return true;
    for (const Event &event : events) {
        if (!bus.connect(QString(), QString(), objectEvents, QLatin1String(event.member), this,
                         SLOT(announced(QDBusMessage)))) {
            qCDebug(lcAccessibility) << "cannot listen for" << event.name << bus.lastError().message();
            return false;
        }
    }
    m_bus = bus;
    m_timeout = timeoutMs;
    for (const Event &event : events) {
        QDBusMessage registration = QDBusMessage::createMethodCall(
            registryService, registryPath, registryInterface, QStringLiteral("RegisterEvent"));
        registration << QLatin1String(event.name) << QStringList() << QString();
        // Not waited for: the registry passes the interest on to the programs long before the
        // paste keystroke this watch is for, and a delivery's first steps need not wait for it.
        auto *reply = new QDBusPendingCallWatcher(bus.asyncCall(registration, timeoutMs), this);
        connect(reply, &QDBusPendingCallWatcher::finished, this, [name = event.name](QDBusPendingCallWatcher *call) {
            if (call->isError())
                qCDebug(lcAccessibility) << "the registry refused" << name << call->error().message();
            call->deleteLater();
        });
    }
    return true;
}

void AtspiAnnouncements::stop()
{
    if (!m_bus)
        return;
    for (const Event &event : events) {
        QDBusMessage deregistration = QDBusMessage::createMethodCall(
            registryService, registryPath, registryInterface, QStringLiteral("DeregisterEvent"));
        deregistration << QLatin1String(event.name);
        // Nobody waits for the answer: stopping must not stall a delivery's last step.
        m_bus->send(deregistration);
        m_bus->disconnect(QString(), QString(), objectEvents, QLatin1String(event.member), this,
                          SLOT(announced(QDBusMessage)));
    }
    m_bus.reset();
}

void AtspiAnnouncements::announced(const QDBusMessage &message)
{
    ++m_counts[message.service()];
}

} // namespace talvex::atspi
