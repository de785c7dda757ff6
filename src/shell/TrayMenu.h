#pragma once

#include "TrayMenuModel.h"

#include <QObject>
#include <QString>
#include <functional>
#include <map>
#include <memory>

class QAction;
class QMenu;

namespace talvex {

/// One tray menu built from the rows once, then updated in place: menus rebuilt while open show
/// stale or empty content on several tray hosts.
class TrayMenu final : public QObject {
    Q_OBJECT
  public:
    /// How the menu is shown, which decides how its texts are written.
    enum class Flavour {
        widget,  ///< drawn by Qt: "&" marks a mnemonic
        exported ///< sent over dbusmenu by Qt, drawn by the tray host: "_" marks a mnemonic
    };

    /// Builds the menu with one entry per row; `chosen` runs with the row's id when one is clicked.
    TrayMenu(const std::vector<MenuRow> &rows, Flavour flavour, std::function<void(MenuRowId)> chosen,
             QObject *parent = nullptr);
    ~TrayMenu() override;

    /// Brings texts, visibility and enabled state up to date; rows must come in the same order.
    void apply(const std::vector<MenuRow> &rows);

    QMenu *menu() const { return m_menu.get(); }
    QAction *action(MenuRowId id) const;

    /// `text` as the entry's text so that it shows literally, mnemonic markers escaped.
    static QString entryText(const QString &text, Flavour flavour);

  private:
    void update(QAction *action, const MenuRow &row);

    Flavour m_flavour;
    std::unique_ptr<QMenu> m_menu;
    std::map<MenuRowId, QAction *> m_actions;
};

} // namespace talvex
