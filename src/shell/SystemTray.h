#pragma once

#include "MissingTrayNotice.h"
#include "TrayAvailability.h"
#include "TrayHostWait.h"

#include <QDBusConnection>
#include <QObject>
#include <memory>

namespace talvex {

class EmbeddedTray;
class MenuCommands;
class TrayIconView;

/// The tray side of the application: waits for a tray host, then shows the icon with its menu; if
/// none comes within the wait, says so once and keeps watching, so a panel started later still
/// gets the icon. Talvex works the same without it (the shortcut dictates; a second launch opens
/// onboarding).
class SystemTray final : public QObject {
    Q_OBJECT
  public:
    /// `embedded` may be null; it must outlive this object.
    SystemTray(MenuCommands &commands, QDBusConnection bus, EmbeddedTray *embedded,
               QObject *parent = nullptr);
    ~SystemTray() override;

    void start();

    /// The icon once it exists.
    TrayIconView *view() const { return m_view.get(); }

  signals:
    void shown(talvex::TrayProtocol protocol);
    /// No tray came within the wait; shown() may still follow when one starts.
    void missing();

  private:
    MenuCommands &m_commands;
    TrayHostWait m_wait;
    MissingTrayNotice m_notice;
    std::unique_ptr<TrayIconView> m_view;
};

} // namespace talvex
