#include "ControlClient.h"

#include <QDBusError>
#include <QDBusMessage>

namespace talvex::ControlClient {

namespace {

// A freshly started instance answers once its launch has finished; loading the speech model can
// take a while on a slow machine.
constexpr int replyTimeoutMs = 30000;

// Qt's D-Bus thread wakes a blocked caller as soon as an error reply is in, and only then hands the
// error on to the connection's own listeners. A command line that ends right away tears Qt's type
// registry down under that work, and Qt prints a warning after our sentence. The thread handles one
// reply after the other, so the answer to a ping to the bus comes only once it is done with the
// error.
void settle(QDBusConnection &bus)
{
    const QDBusMessage ping = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus.Peer"), QStringLiteral("Ping"));
    bus.call(ping, QDBus::Block, replyTimeoutMs);
}

} // namespace

Outcome send(QDBusConnection bus, ControlBus::Command command)
{
    if (!bus.isConnected())
        return {Outcome::Result::notRunning, {}};
    QDBusMessage call = QDBusMessage::createMethodCall(ControlBus::service(), ControlBus::path(),
                                                       ControlBus::interface(), ControlBus::method(command));
    // A control command must not launch Talvex: "talvex stop" with nothing running is a no-op, not
    // a start.
    call.setAutoStartService(false);
    const QDBusMessage reply = bus.call(call, QDBus::Block, replyTimeoutMs);
    if (reply.type() != QDBusMessage::ErrorMessage)
        return {};
    settle(bus);
    const QDBusError error(reply);
    if (error.type() == QDBusError::ServiceUnknown ||
        error.name() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner"))
        return {Outcome::Result::notRunning, {}};
    return {Outcome::Result::failed, error.message()};
}

QString notRunningSentence()
{
    return QStringLiteral("Talvex is not running; start it with \"talvex\" first.");
}

} // namespace talvex::ControlClient
