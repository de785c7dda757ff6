#pragma once

#include "HotKeyService.h"

#include <QDBusConnection>
#include <QDBusObjectPath>
#include <QObject>
#include <map>
#include <memory>

namespace talvex::portal {

/// Hot keys through the GlobalShortcuts desktop portal (KDE Plasma and others): one portal session
/// per hot key with one shortcut, our key combination as its preferred trigger. The desktop owns the
/// keys: it may show the user a dialog, and the user may choose another trigger there; Activated
/// and Deactivated are the press and the release. A registration the desktop does not bind is
/// refused. Registering waits for the portal's answers (a local event loop, bounded). Event times
/// are CLOCK_MONOTONIC seconds at arrival, like every other shortcut source's.
class PortalShortcuts final : public QObject, public HotKeyService {
    Q_OBJECT
  public:
    explicit PortalShortcuts(QDBusConnection bus = QDBusConnection::sessionBus(), QObject *parent = nullptr);
    ~PortalShortcuts() override;

    /// Whether the session's portal offers GlobalShortcuts.
    static bool isOffered(QDBusConnection bus = QDBusConnection::sessionBus());

    bool isAvailable() override;
    bool installHandler(Handler handler) override;
    std::unique_ptr<Registration> registerHotKey(std::uint32_t code, std::uint32_t modifiers,
                                                 HotKeyID identifier) override;

    /// The id of our one shortcut in each session.
    static constexpr auto shortcutId = "dictation";

  private slots:
    void activated(const QDBusObjectPath &session, const QString &id, qulonglong timestamp,
                   const QVariantMap &options);
    void deactivated(const QDBusObjectPath &session, const QString &id, qulonglong timestamp,
                     const QVariantMap &options);

  private:
    class PortalRegistration;
    void report(const QDBusObjectPath &session, const QString &id, bool pressed);

    QDBusConnection m_bus;
    bool m_available = false;
    Handler m_handler;
    std::map<QString, HotKeyID> m_sessions; ///< live session handle -> its hot key
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
};

} // namespace talvex::portal
