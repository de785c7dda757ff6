#pragma once

#include "platform/LoginItems.h"

#include <QObject>
#include <QString>
#include <optional>

namespace talvex {

/// What the settings window needs of the launch-at-login service: its status, its last error and
/// the switch. The application's service plugs in through a small adapter.
class SettingsLaunchAtLogin : public QObject {
    Q_OBJECT

  public:
    using QObject::QObject;

    virtual LoginItemStatus status() const = 0;
    /// The last failure, for display under the toggle.
    virtual std::optional<QString> errorMessage() const = 0;
    /// Reads the status from the desktop again (the window does so whenever it is shown).
    virtual void refresh() = 0;
    /// The user switched "Launch at Login".
    virtual void setEnabled(bool enabled) = 0;
    /// Opens the desktop's list of applications started at login.
    virtual void openLoginItemsSettings() = 0;

  signals:
    /// The status or the error message changed.
    void changed();
};

} // namespace talvex
