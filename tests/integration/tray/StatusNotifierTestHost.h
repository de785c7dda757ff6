#pragma once

// A tray host for tests on the private session bus: a StatusNotifier watcher that can report a
// registered host (or not yet), records the items that register with it, and reads and clicks their
// menus over dbusmenu the way a panel does.

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <optional>
#include <vector>

namespace talvex::test {

/// One entry of an item's menu as a host shows it.
struct HostMenuEntry {
    int id = 0;
    QString label; ///< mnemonic markers removed; "-" for a separator
    bool enabled = true;
    bool visible = true;
};

class StatusNotifierTestHost final : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ registeredItems)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)

  public:
    StatusNotifierTestHost();
    ~StatusNotifierTestHost() override;

    /// Takes the watcher's name on a connection of its own; `withHost` = a host is registered at once.
    bool start(bool withHost);
    /// A host registers now (the watcher announces it).
    void registerHost();

    QStringList registeredItems() const { return m_items; }
    bool isHostRegistered() const { return m_hostRegistered; }
    int protocolVersion() const { return 0; }

    /// The bus name of the first item that registered; empty while none has.
    QString item() const { return m_items.isEmpty() ? QString() : m_items.constFirst(); }

    /// A property of the item's org.kde.StatusNotifierItem interface.
    QVariant itemProperty(const QString &name) const;
    /// A fingerprint of the item's picture (its icon name and pixels), to tell icons apart.
    QByteArray iconFingerprint() const;
    /// The item's menu entries that are visible, top to bottom (AboutToShow, then GetLayout).
    std::optional<std::vector<HostMenuEntry>> visibleMenu() const;
    /// Clicks the visible entry with this label, as a host does; false when there is none.
    bool click(const QString &label) const;
    /// A left click on the icon.
    bool activate() const;

  public slots:
    Q_SCRIPTABLE void RegisterStatusNotifierItem(const QString &service);
    Q_SCRIPTABLE void RegisterStatusNotifierHost(const QString &service);

  signals:
    Q_SCRIPTABLE void StatusNotifierItemRegistered(const QString &service);
    Q_SCRIPTABLE void StatusNotifierItemUnregistered(const QString &service);
    Q_SCRIPTABLE void StatusNotifierHostRegistered();
    Q_SCRIPTABLE void StatusNotifierHostUnregistered();

  private:
    QString menuPath() const;

    QDBusConnection m_bus;
    QStringList m_items;
    bool m_hostRegistered = false;
    bool m_started = false;
};

/// A desktop notification server that records what it was asked to show.
class NotificationTestServer final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")

  public:
    struct Notice {
        QString application;
        QString summary;
        QString body;
    };

    NotificationTestServer();
    ~NotificationTestServer() override;
    bool start();

    std::vector<Notice> notices;

  public slots:
    Q_SCRIPTABLE uint Notify(const QString &application, uint replacesId, const QString &icon,
                             const QString &summary, const QString &body, const QStringList &actions,
                             const QVariantMap &hints, int timeout);
    Q_SCRIPTABLE QStringList GetCapabilities();
    Q_SCRIPTABLE void CloseNotification(uint id);
    Q_SCRIPTABLE QString GetServerInformation(QString &vendor, QString &version, QString &protocolVersion);

  private:
    QDBusConnection m_bus;
};

} // namespace talvex::test
