#pragma once

#include "KeyboardPoster.h"

#include <QDBusConnection>
#include <QObject>
#include <QSettings>
#include <memory>

namespace talvex::portal {

class PortalRequest;

/// The paste keystroke through the RemoteDesktop desktop portal (GNOME, KDE): a session with the
/// keyboard only, keys sent by symbol so the desktop finds them in the user's layout. Starting it
/// asks the user once; where the portal keeps consent (version 2 and later) the restore token is
/// stored in Talvex's settings and the next start needs no question. A stored token starts the
/// session at once; without one the session starts when access is requested. Key ids are key
/// symbols. Main thread only.
class PortalRemoteDesktop final : public QObject, public KeyboardPoster {
    Q_OBJECT
  public:
    /// `settings` holds the restore token (key restoreTokenKey); it must outlive this.
    PortalRemoteDesktop(QSettings &settings, QDBusConnection bus = QDBusConnection::sessionBus(),
                        QObject *parent = nullptr);
    ~PortalRemoteDesktop() override;

    static constexpr auto restoreTokenKey = "portal/remoteDesktopRestoreToken";
    /// Whether the session's portal offers RemoteDesktop.
    static bool isOffered(QDBusConnection bus = QDBusConnection::sessionBus());

    /// True once the user let the session start with a keyboard.
    bool canPostEvents() override;
    /// Starts the session (the user is asked) unless it runs or is starting; returns whether keys
    /// can be posted now, which is false until the user has answered.
    bool requestPostEventAccess() override;
    std::optional<KeyboardKey> keyFor(ChordKey key) override;
    std::vector<KeyboardKey> heldKeys() override;
    /// Unknown through the portal.
    std::optional<std::vector<KeyboardKey>> physicallyHeldKeys() override;
    bool post(const KeyboardKey &key, bool down) override;

  signals:
    /// The session started (true) or the user or desktop refused it (false).
    void sessionStarted(bool started);

  private:
    void start();
    void fail(const char *why);
    void close();

    QSettings &m_settings;
    QDBusConnection m_bus;
    std::uint32_t m_version = 0;
    QString m_session;
    bool m_starting = false;
    bool m_started = false;
    std::unique_ptr<PortalRequest> m_pending;
    std::vector<KeyboardKey> m_held;
};

} // namespace talvex::portal
