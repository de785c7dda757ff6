#include "AtspiClient.h"

#include <QDBusArgument>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>
#include <QStringList>

namespace talvex::test {

namespace {

constexpr int timeoutMs = 5000;
const QString accessible = QStringLiteral("org.a11y.atspi.Accessible");

QDBusConnection connectToAccessibilityBus(const QString &name)
{
    QDBusMessage ask =
        QDBusMessage::createMethodCall(QStringLiteral("org.a11y.Bus"), QStringLiteral("/org/a11y/bus"),
                                       QStringLiteral("org.a11y.Bus"), QStringLiteral("GetAddress"));
    const QDBusReply<QString> address = QDBusConnection::sessionBus().call(ask, QDBus::Block, timeoutMs);
    return QDBusConnection::connectToBus(address.isValid() ? address.value() : QString(), name);
}

/// The (bus name, object path) references of an a(so) array at the argument's position.
std::vector<AtspiNode> readNodes(const QDBusArgument &argument)
{
    std::vector<AtspiNode> nodes;
    argument.beginArray();
    while (!argument.atEnd()) {
        QString bus;
        QDBusObjectPath path;
        argument.beginStructure();
        argument >> bus >> path;
        argument.endStructure();
        if (!bus.isEmpty() && path.path() != QLatin1String("/org/a11y/atspi/null"))
            nodes.push_back({bus, path.path()});
    }
    argument.endArray();
    return nodes;
}

} // namespace

AtspiClient::AtspiClient()
    : m_name(QStringLiteral("talvex-test-atspi")), m_bus(connectToAccessibilityBus(m_name))
{
}

AtspiClient::~AtspiClient()
{
    QDBusConnection::disconnectFromBus(m_name);
}

std::optional<QDBusMessage> AtspiClient::call(const AtspiNode &node, const QString &interface,
                                              const QString &method, const QList<QVariant> &arguments)
{
    QDBusMessage message = QDBusMessage::createMethodCall(node.bus, node.path, interface, method);
    message.setArguments(arguments);
    // The program answering may be this one: keep its event loop turning while waiting.
    QDBusMessage reply = m_bus.call(message, QDBus::BlockWithGui, timeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return std::nullopt;
    return reply;
}

std::vector<AtspiNode> AtspiClient::children(const AtspiNode &node)
{
    const auto reply = call(node, accessible, QStringLiteral("GetChildren"));
    if (!reply || reply->arguments().isEmpty())
        return {};
    return readNodes(reply->arguments().constFirst().value<QDBusArgument>());
}

std::optional<AtspiNode> AtspiClient::application(std::int64_t pid)
{
    for (const AtspiNode &app : children({QStringLiteral("org.a11y.atspi.Registry"),
                                          QStringLiteral("/org/a11y/atspi/accessible/root")})) {
        QDBusMessage ask = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("GetConnectionUnixProcessID"));
        ask << app.bus;
        const QDBusReply<uint> owner = m_bus.call(ask, QDBus::BlockWithGui, timeoutMs);
        if (owner.isValid() && owner.value() == pid)
            return app;
    }
    return std::nullopt;
}

std::optional<std::uint32_t> AtspiClient::role(const AtspiNode &node)
{
    const auto reply = call(node, accessible, QStringLiteral("GetRole"));
    if (!reply || reply->arguments().isEmpty())
        return std::nullopt;
    return reply->arguments().constFirst().toUInt();
}

QString AtspiClient::name(const AtspiNode &node)
{
    const auto reply = call(node, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                            {accessible, "Name"});
    if (!reply || reply->arguments().isEmpty())
        return {};
    return reply->arguments().constFirst().value<QDBusVariant>().variant().toString();
}

bool AtspiClient::hasState(const AtspiNode &node, int state)
{
    const auto reply = call(node, accessible, QStringLiteral("GetState"));
    if (!reply || reply->arguments().isEmpty())
        return false;
    const QDBusArgument argument = reply->arguments().constFirst().value<QDBusArgument>();
    std::vector<quint32> words;
    argument.beginArray();
    while (!argument.atEnd()) {
        quint32 word = 0;
        argument >> word;
        words.push_back(word);
    }
    argument.endArray();
    const std::size_t index = std::size_t(state / 32);
    return index < words.size() && (words[index] & (1u << (state % 32)));
}

std::optional<AtspiNode> AtspiClient::find(const AtspiNode &root, std::uint32_t wanted,
                                           const QString &wantedName)
{
    for (const AtspiNode &child : children(root)) {
        if (role(child) == wanted && name(child) == wantedName)
            return child;
        if (auto found = find(child, wanted, wantedName))
            return found;
    }
    return std::nullopt;
}

bool AtspiClient::doAction(const AtspiNode &node, const QString &action)
{
    const QString interface = QStringLiteral("org.a11y.atspi.Action");
    const auto count = call(node, QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"),
                            {interface, "NActions"});
    if (!count)
        return false;
    const int actions = count->arguments().constFirst().value<QDBusVariant>().variant().toInt();
    for (int i = 0; i < actions; ++i) {
        const auto name = call(node, interface, QStringLiteral("GetName"), {i});
        if (name && name->arguments().constFirst().toString() == action) {
            const auto done = call(node, interface, QStringLiteral("DoAction"), {i});
            return done && done->arguments().constFirst().toBool();
        }
    }
    return false;
}

std::optional<AtspiNode> AtspiClient::labelled(const AtspiNode &label)
{
    constexpr quint32 labelFor = 1;
    const auto reply = call(label, accessible, QStringLiteral("GetRelationSet"));
    if (!reply || reply->arguments().isEmpty())
        return std::nullopt;
    std::optional<AtspiNode> target;
    const QDBusArgument argument = reply->arguments().constFirst().value<QDBusArgument>();
    argument.beginArray();
    while (!argument.atEnd()) {
        quint32 type = 0;
        argument.beginStructure();
        argument >> type;
        const std::vector<AtspiNode> targets = readNodes(argument);
        if (type == labelFor && !targets.empty() && !target)
            target = targets.front();
        argument.endStructure();
    }
    argument.endArray();
    return target;
}

bool AtspiClient::grabFocus(const AtspiNode &node)
{
    const auto reply = call(node, QStringLiteral("org.a11y.atspi.Component"), QStringLiteral("GrabFocus"));
    return reply && !reply->arguments().isEmpty() && reply->arguments().constFirst().toBool();
}

} // namespace talvex::test
