#include "StatusNotifierTestHost.h"

#include <QDBusArgument>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusReply>
#include <QDBusVariant>

namespace talvex::test {

namespace {

const QString itemInterface = QStringLiteral("org.kde.StatusNotifierItem");
const QString menuInterface = QStringLiteral("com.canonical.dbusmenu");

QString withoutMnemonics(const QString &label)
{
    // dbusmenu: "_" marks the next character as the mnemonic, "__" is a literal underscore.
    QString shown;
    for (qsizetype i = 0; i < label.size(); ++i) {
        if (label[i] == QLatin1Char('_') && i + 1 < label.size())
            ++i;
        shown += label[i];
    }
    return shown;
}

void readLayout(const QDBusArgument &argument, std::vector<HostMenuEntry> &entries, bool root)
{
    int id = 0;
    QVariantMap properties;
    argument.beginStructure();
    argument >> id >> properties;
    if (!root) {
        HostMenuEntry entry;
        entry.id = id;
        entry.label = properties.value(QStringLiteral("type")).toString() == QLatin1String("separator")
                          ? QStringLiteral("-")
                          : withoutMnemonics(properties.value(QStringLiteral("label")).toString());
        entry.enabled = properties.value(QStringLiteral("enabled"), true).toBool();
        entry.visible = properties.value(QStringLiteral("visible"), true).toBool();
        entries.push_back(entry);
    }
    argument.beginArray();
    while (!argument.atEnd()) {
        QDBusVariant child;
        argument >> child;
        readLayout(qvariant_cast<QDBusArgument>(child.variant()), entries, false);
    }
    argument.endArray();
    argument.endStructure();
}

} // namespace

StatusNotifierTestHost::StatusNotifierTestHost()
    : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("talvex-test-watcher")))
{
}

StatusNotifierTestHost::~StatusNotifierTestHost()
{
    if (m_started) {
        m_bus.unregisterService(QStringLiteral("org.kde.StatusNotifierWatcher"));
        m_bus.unregisterObject(QStringLiteral("/StatusNotifierWatcher"));
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("talvex-test-watcher"));
}

bool StatusNotifierTestHost::start(bool withHost)
{
    m_hostRegistered = withHost;
    if (!m_bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), this,
                              QDBusConnection::ExportScriptableContents |
                                  QDBusConnection::ExportAllProperties))
        return false;
    m_started = m_bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"));
    return m_started;
}

void StatusNotifierTestHost::registerHost()
{
    m_hostRegistered = true;
    emit StatusNotifierHostRegistered();
}

void StatusNotifierTestHost::RegisterStatusNotifierItem(const QString &service)
{
    // An item names itself by bus name, or by object path on the caller's connection.
    const QString name = service.startsWith(QLatin1Char('/')) ? message().service() : service;
    if (!m_items.contains(name))
        m_items << name;
    emit StatusNotifierItemRegistered(name);
}

void StatusNotifierTestHost::RegisterStatusNotifierHost(const QString &)
{
    registerHost();
}

QVariant StatusNotifierTestHost::itemProperty(const QString &name) const
{
    QDBusMessage call = QDBusMessage::createMethodCall(item(), QStringLiteral("/StatusNotifierItem"),
                                                       QStringLiteral("org.freedesktop.DBus.Properties"),
                                                       QStringLiteral("Get"));
    call << itemInterface << name;
    const QDBusReply<QDBusVariant> reply = QDBusConnection::sessionBus().call(call, QDBus::Block, 5000);
    return reply.isValid() ? reply.value().variant() : QVariant();
}

QByteArray StatusNotifierTestHost::iconFingerprint() const
{
    QByteArray fingerprint = itemProperty(QStringLiteral("IconName")).toString().toUtf8();
    const QVariant pixmaps = itemProperty(QStringLiteral("IconPixmap"));
    const QDBusArgument argument = qvariant_cast<QDBusArgument>(pixmaps);
    argument.beginArray();
    while (!argument.atEnd()) {
        int width = 0;
        int height = 0;
        QByteArray pixels;
        argument.beginStructure();
        argument >> width >> height >> pixels;
        argument.endStructure();
        fingerprint += QByteArray::number(width) + 'x' + QByteArray::number(height) + pixels;
    }
    argument.endArray();
    return fingerprint;
}

QString StatusNotifierTestHost::menuPath() const
{
    return qvariant_cast<QDBusObjectPath>(itemProperty(QStringLiteral("Menu"))).path();
}

std::optional<std::vector<HostMenuEntry>> StatusNotifierTestHost::visibleMenu() const
{
    const QString path = menuPath();
    if (path.isEmpty())
        return std::nullopt;
    QDBusConnection bus = QDBusConnection::sessionBus();
    QDBusMessage aboutToShow =
        QDBusMessage::createMethodCall(item(), path, menuInterface, QStringLiteral("AboutToShow"));
    aboutToShow << 0;
    bus.call(aboutToShow, QDBus::Block, 5000);

    QDBusMessage call =
        QDBusMessage::createMethodCall(item(), path, menuInterface, QStringLiteral("GetLayout"));
    call << 0 << -1 << QStringList();
    const QDBusMessage reply = bus.call(call, QDBus::Block, 5000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().size() != 2)
        return std::nullopt;
    std::vector<HostMenuEntry> entries;
    readLayout(qvariant_cast<QDBusArgument>(reply.arguments().at(1)), entries, true);
    std::vector<HostMenuEntry> visible;
    for (const HostMenuEntry &entry : entries) {
        if (entry.visible)
            visible.push_back(entry);
    }
    return visible;
}

bool StatusNotifierTestHost::click(const QString &label) const
{
    const auto menu = visibleMenu();
    if (!menu)
        return false;
    for (const HostMenuEntry &entry : *menu) {
        if (entry.label != label)
            continue;
        QDBusMessage event =
            QDBusMessage::createMethodCall(item(), menuPath(), menuInterface, QStringLiteral("Event"));
        event << entry.id << QStringLiteral("clicked") << QVariant::fromValue(QDBusVariant(0)) << 0u;
        const QDBusMessage reply = QDBusConnection::sessionBus().call(event, QDBus::Block, 5000);
        return reply.type() == QDBusMessage::ReplyMessage;
    }
    return false;
}

bool StatusNotifierTestHost::activate() const
{
    QDBusMessage call = QDBusMessage::createMethodCall(item(), QStringLiteral("/StatusNotifierItem"),
                                                       itemInterface, QStringLiteral("Activate"));
    call << 100 << 10;
    return QDBusConnection::sessionBus().call(call, QDBus::Block, 5000).type() == QDBusMessage::ReplyMessage;
}

// --- NotificationTestServer

NotificationTestServer::NotificationTestServer()
    : m_bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("talvex-test-notices")))
{
}

NotificationTestServer::~NotificationTestServer()
{
    QDBusConnection::disconnectFromBus(QStringLiteral("talvex-test-notices"));
}

bool NotificationTestServer::start()
{
    return m_bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), this,
                                QDBusConnection::ExportScriptableSlots) &&
           m_bus.registerService(QStringLiteral("org.freedesktop.Notifications"));
}

uint NotificationTestServer::Notify(const QString &application, uint, const QString &, const QString &summary,
                                    const QString &body, const QStringList &, const QVariantMap &, int)
{
    notices.push_back({application, summary, body});
    return uint(notices.size());
}

QStringList NotificationTestServer::GetCapabilities()
{
    return {QStringLiteral("body")};
}

void NotificationTestServer::CloseNotification(uint)
{
}

QString NotificationTestServer::GetServerInformation(QString &vendor, QString &version, QString &protocolVersion)
{
    vendor = QStringLiteral("Talvex tests");
    version = QStringLiteral("1");
    protocolVersion = QStringLiteral("1.2");
    return QStringLiteral("talvex-test-notices");
}

} // namespace talvex::test
