#pragma once

#include "TrayAvailability.h"

#include <QDBusConnection>
#include <QObject>
#include <QTimer>
#include <chrono>

namespace talvex {

class EmbeddedTray;
class StatusNotifierHostWatch;

/// Waits, without touching the toolkit's tray, until a tray host can show our icon: a registered
/// StatusNotifier host, or an XEmbed tray manager. At login the panel may start after Talvex, so
/// a missing tray is reported only after a bounded wait, and the watch goes on after that.
class TrayHostWait final : public QObject {
    Q_OBJECT
  public:
    /// The default bound: panels of the common desktops come up within this after login.
    static constexpr std::chrono::seconds defaultBound{10};

    /// `embedded` may be null (no X11 display); it must outlive this object.
    TrayHostWait(QDBusConnection bus, EmbeddedTray *embedded, std::chrono::milliseconds bound = defaultBound,
                 QObject *parent = nullptr);
    ~TrayHostWait() override;

    void start();

  signals:
    /// Create the icon now (at most once).
    void ready(talvex::TrayProtocol protocol);
    /// The bounded wait ended without a tray (at most once); ready() may still follow.
    void missing();

  private:
    void take(TrayAvailability::Step step);

    TrayAvailability m_availability;
    StatusNotifierHostWatch *m_statusNotifier = nullptr;
    EmbeddedTray *m_embedded = nullptr;
    QTimer m_bound;
    bool m_done = false;
};

} // namespace talvex
