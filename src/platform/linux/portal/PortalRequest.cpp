#include "PortalRequest.h"

#include "PortalLogging.h"

#include <QCoreApplication>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusReply>
#include <QDBusVariant>
#include <QEventLoop>
#include <QTimer>

namespace talvex::portal {

namespace {

constexpr int callTimeoutMs = 10000;

// Where the portal puts the Request of a call with `token`: the sender's unique name without the
// colon, dots as underscores.
QString requestPath(const QDBusConnection &bus, const QString &token)
{
    QString sender = bus.baseService();
    sender.remove(0, 1).replace(QLatin1Char('.'), QLatin1Char('_'));
    return QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
}

} // namespace

QString PortalRequest::newToken()
{
    static unsigned counter = 0;
    return QStringLiteral("talvex_%1_%2").arg(QCoreApplication::applicationPid()).arg(++counter);
}

PortalRequest::PortalRequest(QDBusConnection bus, const QString &interface, const QString &method,
                             QVariantList arguments, int optionsIndex, QObject *parent)
    : QObject(parent), m_bus(std::move(bus))
{
    const QString token = newToken();
    m_path = requestPath(m_bus, token);
    m_bus.connect(portalService, m_path, QStringLiteral("org.freedesktop.portal.Request"),
                  QStringLiteral("Response"), this, SLOT(receive(uint, QVariantMap)));
    QVariantMap options = arguments.value(optionsIndex).toMap();
    options.insert(QStringLiteral("handle_token"), token);
    arguments[optionsIndex] = options;

    QDBusMessage call = QDBusMessage::createMethodCall(portalService, portalPath, interface, method);
    call.setArguments(arguments);
    const QDBusMessage reply = m_bus.call(call, QDBus::Block, callTimeoutMs);
    m_sent = reply.type() == QDBusMessage::ReplyMessage;
    if (!m_sent)
        qCWarning(lcPortal).noquote() << "The portal refused" << method << reply.errorMessage();
}

PortalRequest::~PortalRequest()
{
    m_bus.disconnect(portalService, m_path, QStringLiteral("org.freedesktop.portal.Request"),
                     QStringLiteral("Response"), this, SLOT(receive(uint, QVariantMap)));
}

void PortalRequest::receive(uint code, const QVariantMap &results)
{
    m_response = PortalResponse{code, results};
    emit finished(*m_response);
}

std::optional<PortalResponse> PortalRequest::wait(int timeoutMs)
{
    if (!m_sent)
        return std::nullopt;
    if (!m_response) {
        QEventLoop loop;
        QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
        connect(this, &PortalRequest::finished, &loop, &QEventLoop::quit);
        loop.exec(QEventLoop::ExcludeUserInputEvents);
    }
    return m_response;
}

std::uint32_t portalVersion(QDBusConnection bus, const QString &interface)
{
    QDBusMessage get = QDBusMessage::createMethodCall(
        portalService, portalPath, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << interface << QStringLiteral("version");
    const QDBusReply<QDBusVariant> reply = bus.call(get, QDBus::Block, callTimeoutMs);
    return reply.isValid() ? reply.value().variant().toUInt() : 0;
}

} // namespace talvex::portal
