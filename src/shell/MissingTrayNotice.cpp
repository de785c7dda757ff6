#include "MissingTrayNotice.h"

#include "platform/Logging.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace talvex {

QString MissingTrayNotice::summary()
{
    return QStringLiteral("Talvex is running without a tray icon");
}

QString MissingTrayNotice::body(const QString &shortcutLabel)
{
    return QStringLiteral("No system tray was found. Dictate with %1, or start Talvex again to open Talvex "
                          "Onboarding.")
        .arg(shortcutLabel);
}

void MissingTrayNotice::show(const QString &shortcutLabel)
{
    if (m_shown)
        return;
    m_shown = true;
    const QString text = body(shortcutLabel);
    qCInfo(lcApp).noquote() << summary() + QStringLiteral(". ") + text;
    if (!m_bus.isConnected())
        return;

    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
        QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
    const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("com.quindlark.Talvex")}};
    call << QStringLiteral("Talvex") << 0u << QStringLiteral("com.quindlark.Talvex") << summary() << text
         << QStringList() << hints << -1;
    // The desktop's notification server may be started on demand, as any notification would start it.
    auto *pending = new QDBusPendingCallWatcher(m_bus.asyncCall(call));
    QObject::connect(pending, &QDBusPendingCallWatcher::finished, [](QDBusPendingCallWatcher *done) {
        done->deleteLater();
        const QDBusPendingReply<uint> reply = *done;
        if (reply.isError())
            qCInfo(lcApp).noquote() << "The notification could not be shown:" << reply.error().message();
    });
}

} // namespace talvex
