#include "StatusNotifierHostWatch.h"

#include "platform/Logging.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>

namespace talvex {

namespace {

const QString watcherInterface = QStringLiteral("org.kde.StatusNotifierWatcher");

} // namespace

StatusNotifierHostWatch::StatusNotifierHostWatch(QDBusConnection bus, QObject *parent)
    : QObject(parent), m_bus(std::move(bus))
{
}

StatusNotifierHostWatch::~StatusNotifierHostWatch() = default;

void StatusNotifierHostWatch::start()
{
    if (!m_bus.isConnected()) {
        emit stateChanged(false, false);
        return;
    }
    const QString service = QLatin1String(watcherService);
    m_serviceWatcher =
        new QDBusServiceWatcher(service, m_bus, QDBusServiceWatcher::WatchForOwnerChange, this);
    connect(m_serviceWatcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString &, const QString &, const QString &newOwner) { ownerChanged(newOwner); });
    // Matched by name, so these keep working across restarts of the watcher.
    for (const char *signal : {"StatusNotifierHostRegistered", "StatusNotifierHostUnregistered"})
        m_bus.connect(service, QLatin1String(watcherPath), watcherInterface, QLatin1String(signal), this,
                      SLOT(hostsChanged()));
    queryOwner();
}

void StatusNotifierHostWatch::hostsChanged()
{
    queryHost();
}

void StatusNotifierHostWatch::ownerChanged(const QString &newOwner)
{
    if (newOwner.isEmpty()) {
        ++m_question;
        emit stateChanged(false, false);
        return;
    }
    queryHost();
}

void StatusNotifierHostWatch::queryOwner()
{
    const quint64 question = ++m_question;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("NameHasOwner"));
    call << QLatin1String(watcherService);
    auto *pending = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, question](QDBusPendingCallWatcher *done) {
                done->deleteLater();
                if (question != m_question)
                    return;
                const QDBusPendingReply<bool> reply = *done;
                if (reply.isValid() && reply.value())
                    queryHost();
                else
                    emit stateChanged(false, false);
            });
}

void StatusNotifierHostWatch::queryHost()
{
    const quint64 question = ++m_question;
    QDBusMessage call = QDBusMessage::createMethodCall(
        QLatin1String(watcherService), QLatin1String(watcherPath),
        QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    call << watcherInterface << QStringLiteral("IsStatusNotifierHostRegistered");
    call.setAutoStartService(false);
    auto *pending = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(pending, &QDBusPendingCallWatcher::finished, this,
            [this, question](QDBusPendingCallWatcher *done) {
                done->deleteLater();
                if (question != m_question)
                    return;
                const QDBusPendingReply<QDBusVariant> reply = *done;
                if (!reply.isValid()) {
                    // A watcher that cannot say has no host as far as the toolkit is concerned either.
                    qCInfo(lcApp).noquote()
                        << "The StatusNotifier watcher did not answer:" << reply.error().message();
                    emit stateChanged(true, false);
                    return;
                }
                emit stateChanged(true, reply.value().variant().toBool());
            });
}

} // namespace talvex
