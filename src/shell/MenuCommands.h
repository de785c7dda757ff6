#pragma once

#include "TrayMenuModel.h"
#include "UpdateChecks.h"

#include <QObject>
#include <QUrl>
#include <functional>

namespace talvex {

class Clipboard;
class DictationController;

/// What the menu's rows do outside the controller: the delegate's windows, the web pages, quitting.
struct MenuActions {
    std::function<void()> openOnboarding;
    std::function<void()> openAbout;
    std::function<void()> openSettings;
    std::function<void()> quit;
    std::function<void(const QUrl &)> openUrl;
};

/// The web pages behind "Get App Help" and "Send Feedback…".
struct MenuLinks {
    QUrl help;
    QUrl feedback;

    /// The addresses this build was configured with.
    static MenuLinks configured();
};

/// The content of the tray menu: reads the controller (and the updater) into rows and the icon,
/// and carries out a chosen row. Holds no state of its own beyond the last state it announced.
class MenuCommands final : public QObject {
    Q_OBJECT
  public:
    MenuCommands(DictationController &controller, Clipboard &clipboard, MenuActions actions,
                 QObject *parent = nullptr);

    /// Where "Check for Updates…" asks; call updatesChanged() whenever what it reads changes.
    void setUpdateChecks(UpdateChecks checks);
    void setLinks(MenuLinks links) { m_links = std::move(links); }
    void setWaylandSession(bool wayland);

    MenuState state() const;
    std::vector<MenuRow> rows() const { return TrayMenuModel::rows(state()); }
    TrayIconKind icon() const { return TrayMenuModel::icon(state()); }

    /// Carries out `id`, but only while the row is shown and enabled: a click that arrives after
    /// the menu changed (a host may still show an older copy of it) does nothing.
    void trigger(MenuRowId id);

  public slots:
    /// The updater's ability to check may have changed.
    void updatesChanged();

  signals:
    /// The state changed; rows and icon should be read again.
    void changed();

  private:
    void recheck();
    void copyLastTranscript();

    DictationController &m_controller;
    Clipboard &m_clipboard;
    MenuActions m_actions;
    MenuLinks m_links = MenuLinks::configured();
    UpdateChecks m_updates;
    bool m_wayland = false;
    MenuState m_announced;
};

} // namespace talvex
