#include "AccessibleTree.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>

namespace talvex::e2e {

namespace {

const QString connectionName = QStringLiteral("talvex-e2e-tree");
const QString accessibleInterface = QStringLiteral("org.a11y.atspi.Accessible");
const QString nullPath = QStringLiteral("/org/a11y/atspi/null");
constexpr int timeoutMs = 2000;
constexpr int stateShowing = 25;

} // namespace

AccessibleTree::AccessibleTree()
{
    QDBusMessage ask =
        QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                       QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress"));
    const QDBusReply<QString> address = QDBusConnection::sessionBus().call(ask, QDBus::Block, timeoutMs);
    if (!address.isValid())
        return;
    QDBusConnection bus = QDBusConnection::connectToBus(address.value(), connectionName);
    if (bus.isConnected())
        m_bus = bus;
}

AccessibleTree::~AccessibleTree()
{
    m_bus.reset();
    QDBusConnection::disconnectFromBus(connectionName);
}

std::optional<QDBusMessage> AccessibleTree::call(const AccessibleElement &element, const QString &interface,
                                                 const QString &method, const QList<QVariant> &arguments)
{
    if (!m_bus)
        return std::nullopt;
    QDBusMessage message =
        QDBusMessage::createMethodCall(element.busName, element.objectPath, interface, method);
    message.setArguments(arguments);
    QDBusMessage reply = m_bus->call(message, QDBus::Block, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty())
        return std::nullopt;
    return reply;
}

QVariant AccessibleTree::property(const AccessibleElement &element, const QString &name)
{
    const auto reply = call(element, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                            {accessibleInterface, name});
    return reply ? reply->arguments().constFirst().value<QDBusVariant>().variant() : QVariant();
}

std::vector<AccessibleElement> AccessibleTree::children(const AccessibleElement &element)
{
    std::vector<AccessibleElement> elements;
    const auto reply = call(element, accessibleInterface, QStringLiteral("GetChildren"));
    if (!reply)
        return elements;
    const QDBusArgument argument = reply->arguments().constFirst().value<QDBusArgument>();
    argument.beginArray();
    while (!argument.atEnd()) {
        QString service;
        QDBusObjectPath path;
        argument.beginStructure();
        argument >> service >> path;
        argument.endStructure();
        if (!service.isEmpty() && path.path() != nullPath)
            elements.push_back({service, path.path()});
    }
    argument.endArray();
    return elements;
}

std::vector<AccessibleElement> AccessibleTree::applications(qint64 pid)
{
    std::vector<AccessibleElement> owned;
    if (!m_bus)
        return owned;
    for (const AccessibleElement &application :
         children({QStringLiteral("org.a11y.atspi.Registry"),
                   QStringLiteral("/org/a11y/atspi/accessible/root")})) {
        QDBusMessage ask = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetConnectionUnixProcessID"));
        ask << application.busName;
        const QDBusReply<quint32> owner = m_bus->call(ask, QDBus::Block, timeoutMs);
        if (owner.isValid() && qint64(owner.value()) == pid)
            owned.push_back(application);
    }
    return owned;
}

QString AccessibleTree::name(const AccessibleElement &element)
{
    return property(element, QStringLiteral("Name")).toString();
}

QString AccessibleTree::description(const AccessibleElement &element)
{
    return property(element, QStringLiteral("Description")).toString();
}

std::optional<unsigned> AccessibleTree::role(const AccessibleElement &element)
{
    const auto reply = call(element, accessibleInterface, QStringLiteral("GetRole"));
    if (!reply)
        return std::nullopt;
    return reply->arguments().constFirst().toUInt();
}

bool AccessibleTree::isShowing(const AccessibleElement &element)
{
    const auto reply = call(element, accessibleInterface, QStringLiteral("GetState"));
    if (!reply)
        return false;
    const QDBusArgument argument = reply->arguments().constFirst().value<QDBusArgument>();
    QList<quint32> words;
    argument >> words;
    return !words.isEmpty() && ((words.constFirst() >> stateShowing) & 1u);
}

std::optional<QRect> AccessibleTree::extents(const AccessibleElement &element)
{
    const auto reply = call(element, QStringLiteral("org.a11y.atspi.Component"), QStringLiteral("GetExtents"),
                            {QVariant::fromValue(quint32(0))});
    if (!reply)
        return std::nullopt;
    const QDBusArgument argument = reply->arguments().constFirst().value<QDBusArgument>();
    int x = 0, y = 0, width = 0, height = 0;
    argument.beginStructure();
    argument >> x >> y >> width >> height;
    argument.endStructure();
    return QRect(x, y, width, height);
}

std::optional<AccessibleElement>
AccessibleTree::find(const AccessibleElement &root,
                     const std::function<bool(const AccessibleElement &)> &wanted, int depth)
{
    if (wanted(root))
        return root;
    if (depth <= 0)
        return std::nullopt;
    for (const AccessibleElement &child : children(root)) {
        if (auto found = find(child, wanted, depth - 1))
            return found;
    }
    return std::nullopt;
}

} // namespace talvex::e2e
