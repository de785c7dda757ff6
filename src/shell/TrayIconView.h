#pragma once

#include "TrayAvailability.h"
#include "TrayMenuModel.h"

#include <QObject>
#include <QSystemTrayIcon>
#include <memory>

namespace talvex {

class MenuCommands;
class TrayMenu;

/// The tray icon and its menu on screen. Created only once a tray host is known (see TrayHostWait),
/// because the toolkit picks the tray protocol when the first icon is made.
class TrayIconView final : public QObject {
    Q_OBJECT
  public:
    TrayIconView(MenuCommands &commands, TrayProtocol protocol, QObject *parent = nullptr);
    ~TrayIconView() override;

    QSystemTrayIcon &icon() { return *m_icon; }
    TrayIconKind iconKind() const { return m_kind; }
    /// The menu a click on the icon opens.
    TrayMenu &popupMenu() { return *m_popup; }

  private:
    void refresh();
    void activated(QSystemTrayIcon::ActivationReason reason);

    MenuCommands &m_commands;
    TrayProtocol m_protocol;
    /// The copy a StatusNotifier host draws itself, over dbusmenu; absent with XEmbed.
    std::unique_ptr<TrayMenu> m_exported;
    std::unique_ptr<TrayMenu> m_popup;
    TrayIconKind m_kind = TrayIconKind::ready;
    std::unique_ptr<QSystemTrayIcon> m_icon; ///< goes first: it refers to the menus
};

} // namespace talvex
