#include "PortalShortcuts.h"

#include "PortalLogging.h"
#include "PortalRequest.h"
#include "PortalTrigger.h"
#include "SteadyClock.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>

namespace talvex::portal {

namespace {

const QString interfaceName = QStringLiteral("org.freedesktop.portal.GlobalShortcuts");
constexpr int answerTimeoutMs = 30000; // the desktop may ask the user first

/// One (id, properties) pair of the a(sa{sv}) shortcut lists.
struct PortalShortcut {
    QString id;
    QVariantMap properties;
};

} // namespace
} // namespace talvex::portal

Q_DECLARE_METATYPE(talvex::portal::PortalShortcut)

namespace talvex::portal {

namespace {

QDBusArgument &operator<<(QDBusArgument &argument, const PortalShortcut &shortcut)
{
    argument.beginStructure();
    argument << shortcut.id << shortcut.properties;
    argument.endStructure();
    return argument;
}

const QDBusArgument &operator>>(const QDBusArgument &argument, PortalShortcut &shortcut)
{
    argument.beginStructure();
    argument >> shortcut.id >> shortcut.properties;
    argument.endStructure();
    return argument;
}

QList<PortalShortcut> shortcutsOf(const QVariant &value)
{
    QList<PortalShortcut> shortcuts;
    if (value.canConvert<QDBusArgument>())
        value.value<QDBusArgument>() >> shortcuts;
    return shortcuts;
}

void closeSession(QDBusConnection &bus, const QString &session)
{
    bus.call(QDBusMessage::createMethodCall(portalService, session,
                                            QStringLiteral("org.freedesktop.portal.Session"),
                                            QStringLiteral("Close")),
             QDBus::Block, 5000);
}

} // namespace

class PortalShortcuts::PortalRegistration final : public Registration {
  public:
    PortalRegistration(PortalShortcuts *owner, QString session)
        : m_owner(owner), m_session(std::move(session)), m_alive(owner->m_alive)
    {
    }
    ~PortalRegistration() override
    {
        if (m_alive.expired())
            return; // the service closed every session when it went
        m_owner->m_sessions.erase(m_session);
        closeSession(m_owner->m_bus, m_session);
    }

  private:
    PortalShortcuts *m_owner;
    QString m_session;
    std::weak_ptr<bool> m_alive;
};

PortalShortcuts::PortalShortcuts(QDBusConnection bus, QObject *parent)
    : QObject(parent), m_bus(std::move(bus))
{
    // The signals' slots are matched by type name, which Qt knows only once the type is registered.
    qRegisterMetaType<QDBusObjectPath>();
    qDBusRegisterMetaType<PortalShortcut>();
    qDBusRegisterMetaType<QList<PortalShortcut>>();
    m_available = isOffered(m_bus);
    const bool watching =
        m_bus.connect(portalService, portalPath, interfaceName, QStringLiteral("Activated"), this,
                      SLOT(activated(QDBusObjectPath, QString, qulonglong, QVariantMap))) &&
        m_bus.connect(portalService, portalPath, interfaceName, QStringLiteral("Deactivated"), this,
                      SLOT(deactivated(QDBusObjectPath, QString, qulonglong, QVariantMap)));
    if (!watching)
        qCWarning(lcPortal) << "Cannot watch the GlobalShortcuts portal's signals";
}

PortalShortcuts::~PortalShortcuts()
{
    // Sessions of registrations that outlive us are closed here; theirs then do nothing.
    for (const auto &[session, identifier] : m_sessions)
        closeSession(m_bus, session);
    m_sessions.clear();
}

bool PortalShortcuts::isOffered(QDBusConnection bus)
{
    return portalVersion(std::move(bus), interfaceName) >= 1;
}

bool PortalShortcuts::isAvailable()
{
    return m_available;
}

bool PortalShortcuts::installHandler(Handler handler)
{
    if (!m_available)
        return false;
    m_handler = std::move(handler);
    return true;
}

std::unique_ptr<HotKeyService::Registration>
PortalShortcuts::registerHotKey(std::uint32_t code, std::uint32_t modifiers, HotKeyID identifier)
{
    if (!m_available)
        return nullptr;
    const auto trigger = portalTrigger(code, modifiers);
    if (!trigger)
        return nullptr;

    const QString sessionToken = PortalRequest::newToken();
    PortalRequest create(m_bus, interfaceName, QStringLiteral("CreateSession"),
                         {QVariantMap{{QStringLiteral("session_handle_token"), sessionToken}}}, 0);
    const auto created = create.wait(answerTimeoutMs);
    const QString session =
        created ? created->results.value(QStringLiteral("session_handle")).toString() : QString();
    if (!created || created->code != 0 || session.isEmpty()) {
        qCWarning(lcPortal) << "The GlobalShortcuts portal made no session";
        return nullptr;
    }

    const QList<PortalShortcut> wanted = {
        {QLatin1String(shortcutId),
         {{QStringLiteral("description"), QStringLiteral("Dictate: hold to talk, tap to start and stop")},
          {QStringLiteral("preferred_trigger"), *trigger}}}};
    PortalRequest bind(m_bus, interfaceName, QStringLiteral("BindShortcuts"),
                       {QVariant::fromValue(QDBusObjectPath(session)), QVariant::fromValue(wanted), QString(),
                        QVariantMap()},
                       3);
    const auto bound = bind.wait(answerTimeoutMs);
    bool ours = false;
    if (bound && bound->code == 0) {
        for (const PortalShortcut &shortcut : shortcutsOf(bound->results.value(QStringLiteral("shortcuts"))))
            ours = ours || shortcut.id == QLatin1String(shortcutId);
    }
    if (!ours) {
        qCInfo(lcPortal).noquote() << "The desktop did not bind" << *trigger;
        closeSession(m_bus, session);
        return nullptr;
    }
    m_sessions[session] = identifier;
    return std::make_unique<PortalRegistration>(this, session);
}

void PortalShortcuts::activated(const QDBusObjectPath &session, const QString &id, qulonglong,
                                const QVariantMap &)
{
    report(session, id, true);
}

void PortalShortcuts::deactivated(const QDBusObjectPath &session, const QString &id, qulonglong,
                                  const QVariantMap &)
{
    report(session, id, false);
}

void PortalShortcuts::report(const QDBusObjectPath &session, const QString &id, bool pressed)
{
    const auto found = m_sessions.find(session.path());
    if (found == m_sessions.end() || id != QLatin1String(shortcutId) || !m_handler)
        return;
    m_handler(HotKeyEvent{found->second, pressed, SteadyClock::monotonicSeconds()});
}

} // namespace talvex::portal
