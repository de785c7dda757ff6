#include "PortalRemoteDesktop.h"

#include "PortalLogging.h"
#include "PortalRequest.h"

#include <QDBusMessage>
#include <QDBusObjectPath>
#include <algorithm>
#include <xkbcommon/xkbcommon-keysyms.h>

namespace talvex::portal {

namespace {

const QString interfaceName = QStringLiteral("org.freedesktop.portal.RemoteDesktop");
constexpr std::uint32_t keyboardDevice = 1;
constexpr std::uint32_t persistUntilRevoked = 2;
constexpr int keyTimeoutMs = 3000;

KeyRole roleOf(std::uint32_t keysym)
{
    switch (keysym) {
    case XKB_KEY_Control_L:
        return KeyRole::control;
    case XKB_KEY_Shift_L:
        return KeyRole::shift;
    default:
        return KeyRole::other;
    }
}

} // namespace

PortalRemoteDesktop::PortalRemoteDesktop(QSettings &settings, QDBusConnection bus, QObject *parent)
    : QObject(parent), m_settings(settings), m_bus(std::move(bus))
{
    m_version = portalVersion(m_bus, interfaceName);
    // A stored consent needs no question: start now, so the first paste can go at once.
    if (m_version >= 2 && !m_settings.value(QLatin1String(restoreTokenKey)).toString().isEmpty())
        start();
}

PortalRemoteDesktop::~PortalRemoteDesktop()
{
    for (auto it = m_held.rbegin(); it != m_held.rend(); ++it)
        post(*it, false);
    close();
}

bool PortalRemoteDesktop::isOffered(QDBusConnection bus)
{
    return portalVersion(std::move(bus), interfaceName) >= 1;
}

bool PortalRemoteDesktop::canPostEvents()
{
    return m_started;
}

bool PortalRemoteDesktop::requestPostEventAccess()
{
    if (!m_started && !m_starting && m_version >= 1)
        start();
    return m_started;
}

void PortalRemoteDesktop::fail(const char *why)
{
    qCWarning(lcPortal) << "Remote desktop session:" << why;
    m_starting = false;
    m_pending.release()->deleteLater(); // we may be inside its signal
    close();
    emit sessionStarted(false);
}

void PortalRemoteDesktop::close()
{
    if (!m_session.isEmpty()) {
        m_bus.call(QDBusMessage::createMethodCall(portalService, m_session,
                                                  QStringLiteral("org.freedesktop.portal.Session"),
                                                  QStringLiteral("Close")),
                   QDBus::Block, 5000);
    }
    m_session.clear();
    m_started = false;
}

// CreateSession, then SelectDevices (keyboard, and persistence where offered), then Start; each
// step runs when the portal answers the one before, so nothing waits in a nested loop.
void PortalRemoteDesktop::start()
{
    m_starting = true;
    m_pending = std::make_unique<PortalRequest>(
        m_bus, interfaceName, QStringLiteral("CreateSession"),
        QVariantList{QVariantMap{{QStringLiteral("session_handle_token"), PortalRequest::newToken()}}}, 0);
    if (!m_pending->isSent())
        return fail("the portal refused to make one");
    connect(m_pending.get(), &PortalRequest::finished, this, [this](const PortalResponse &created) {
        m_session = created.results.value(QStringLiteral("session_handle")).toString();
        if (created.code != 0 || m_session.isEmpty())
            return fail("the portal made none");
        QVariantMap options{{QStringLiteral("types"), keyboardDevice}};
        if (m_version >= 2) {
            options.insert(QStringLiteral("persist_mode"), persistUntilRevoked);
            const QString token = m_settings.value(QLatin1String(restoreTokenKey)).toString();
            if (!token.isEmpty())
                options.insert(QStringLiteral("restore_token"), token);
        }
        m_pending.release()->deleteLater();
        m_pending = std::make_unique<PortalRequest>(
            m_bus, interfaceName, QStringLiteral("SelectDevices"),
            QVariantList{QVariant::fromValue(QDBusObjectPath(m_session)), options}, 1);
        if (!m_pending->isSent())
            return fail("the portal refused the keyboard");
        connect(m_pending.get(), &PortalRequest::finished, this, [this](const PortalResponse &selected) {
            if (selected.code != 0)
                return fail("the portal refused the keyboard");
            m_pending.release()->deleteLater();
            m_pending = std::make_unique<PortalRequest>(
                m_bus, interfaceName, QStringLiteral("Start"),
                QVariantList{QVariant::fromValue(QDBusObjectPath(m_session)), QString(), QVariantMap()}, 2);
            if (!m_pending->isSent())
                return fail("the portal refused to start it");
            connect(m_pending.get(), &PortalRequest::finished, this, [this](const PortalResponse &started) {
                const std::uint32_t devices = started.results.value(QStringLiteral("devices")).toUInt();
                if (started.code != 0 || !(devices & keyboardDevice))
                    return fail(started.code == 1 ? "the user said no" : "no keyboard was granted");
                const QString token = started.results.value(QStringLiteral("restore_token")).toString();
                // A new token replaces the old one, which the portal has now used up.
                if (m_version >= 2 && !token.isEmpty())
                    m_settings.setValue(QLatin1String(restoreTokenKey), token);
                m_starting = false;
                m_started = true;
                m_pending.release()->deleteLater();
                qCInfo(lcPortal) << "Remote desktop session started: keys can be posted";
                emit sessionStarted(true);
            });
        });
    });
}

std::optional<KeyboardKey> PortalRemoteDesktop::keyFor(ChordKey key)
{
    switch (key) {
    case ChordKey::control:
        return KeyboardKey{XKB_KEY_Control_L, KeyRole::control};
    case ChordKey::shift:
        return KeyboardKey{XKB_KEY_Shift_L, KeyRole::shift};
    case ChordKey::v:
        return KeyboardKey{XKB_KEY_v, KeyRole::other};
    case ChordKey::insert:
        return KeyboardKey{XKB_KEY_Insert, KeyRole::other};
    }
    return std::nullopt;
}

std::vector<KeyboardKey> PortalRemoteDesktop::heldKeys()
{
    return m_held;
}

std::optional<std::vector<KeyboardKey>> PortalRemoteDesktop::physicallyHeldKeys()
{
    return std::nullopt;
}

bool PortalRemoteDesktop::post(const KeyboardKey &key, bool down)
{
    if (!m_started)
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(portalService, portalPath, interfaceName,
                                                       QStringLiteral("NotifyKeyboardKeysym"));
    call << QVariant::fromValue(QDBusObjectPath(m_session)) << QVariantMap() << static_cast<int>(key.id)
         << static_cast<uint>(down ? 1 : 0);
    const QDBusMessage reply = m_bus.call(call, QDBus::Block, keyTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage) {
        qCWarning(lcPortal).noquote() << "The portal refused a key:" << reply.errorMessage();
        return false;
    }
    const auto at = std::find(m_held.begin(), m_held.end(), KeyboardKey{key.id, roleOf(key.id)});
    if (down && at == m_held.end())
        m_held.push_back({key.id, roleOf(key.id)});
    else if (!down && at != m_held.end())
        m_held.erase(at);
    return true;
}

} // namespace talvex::portal
