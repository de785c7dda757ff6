#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QVariantList>
#include <QVariantMap>
#include <optional>

namespace talvex::portal {

/// The desktop portal's service, object and the interfaces used here.
inline const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
inline const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");

/// The answer of a portal request: 0 success, 1 cancelled by the user, 2 anything else.
struct PortalResponse {
    std::uint32_t code = 2;
    QVariantMap results;
};

/// One call of a portal method that answers later through a Request object's Response signal. The
/// signal is subscribed before the call (at the path the handle token determines), so a quick answer
/// is never missed. Main thread only.
class PortalRequest final : public QObject {
    Q_OBJECT
  public:
    /// Calls `method` of `interface` with `arguments`; the vardict at `optionsIndex` gets a fresh
    /// "handle_token". isSent() tells whether the portal took the call.
    PortalRequest(QDBusConnection bus, const QString &interface, const QString &method,
                  QVariantList arguments, int optionsIndex, QObject *parent = nullptr);
    ~PortalRequest() override;

    bool isSent() const { return m_sent; }
    /// Runs a local event loop until the response comes, at most `timeoutMs`; absent on time-out or
    /// when the call was refused. Other events are handled meanwhile.
    std::optional<PortalResponse> wait(int timeoutMs);

    /// A token unique in this process, for handle_token and session_handle_token.
    static QString newToken();

  signals:
    void finished(const talvex::portal::PortalResponse &response);

  private slots:
    void receive(uint code, const QVariantMap &results);

  private:
    QDBusConnection m_bus;
    QString m_path;
    bool m_sent = false;
    std::optional<PortalResponse> m_response;
};

/// The portal's version of `interface` (its "version" property); 0 when the portal lacks it.
std::uint32_t portalVersion(QDBusConnection bus, const QString &interface);

} // namespace talvex::portal
