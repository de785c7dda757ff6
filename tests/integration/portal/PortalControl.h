#pragma once

// Orders to the fake portal backend and the calls it recorded (tests/integration/portal).
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace talvex::test {

class PortalControl final {
  public:
    /// Calls one control method; false when the backend refused it.
    static bool order(const QString &method, const QVariantList &arguments = {})
    {
        QDBusMessage call =
            QDBusMessage::createMethodCall(service(), QStringLiteral("/org/talvex/TestPortal"),
                                           QStringLiteral("org.talvex.TestPortal"), method);
        call.setArguments(arguments);
        return QDBusConnection::sessionBus().call(call).type() == QDBusMessage::ReplyMessage;
    }

    /// Every call the backend received: {"interface", "method", "arguments"}, oldest first.
    static QJsonArray calls()
    {
        QDBusMessage call =
            QDBusMessage::createMethodCall(service(), QStringLiteral("/org/talvex/TestPortal"),
                                           QStringLiteral("org.talvex.TestPortal"), QStringLiteral("Calls"));
        const QDBusReply<QString> reply = QDBusConnection::sessionBus().call(call);
        return QJsonDocument::fromJson(reply.value().toUtf8()).array();
    }

    /// The calls of `method` (on `interface`, the last part of its name), oldest first.
    static QJsonArray callsOf(const QString &interface, const QString &method)
    {
        QJsonArray found;
        for (const QJsonValue &value : calls()) {
            const QJsonObject call = value.toObject();
            if (call.value(QLatin1String("interface")).toString() == interface &&
                call.value(QLatin1String("method")).toString() == method)
                found.append(call.value(QLatin1String("arguments")));
        }
        return found;
    }

  private:
    static QString service()
    {
        // The backend owns its own name, or the portal's when it plays the portal itself.
        const QString backend = QStringLiteral("org.freedesktop.impl.portal.desktop.talvextest");
        return QDBusConnection::sessionBus().interface()->isServiceRegistered(backend)
                   ? backend
                   : QStringLiteral("org.freedesktop.portal.Desktop");
    }
};

} // namespace talvex::test
