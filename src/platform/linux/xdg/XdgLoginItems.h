#pragma once

#include "LoginItems.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace talvex::xdg {

/// Start at login through an XDG autostart entry: "com.quindlark.Talvex.desktop" in the user's
/// autostart folder. The entry is on while it exists and is neither `Hidden=true` nor
/// `X-GNOME-Autostart-enabled=false`; approval is never required outside a sandbox. Only that one
/// file is ever written or removed.
class XdgLoginItems final : public LoginItems {
  public:
    static constexpr auto entryName = "com.quindlark.Talvex.desktop";
    static constexpr auto autostartArgument = "--autostart";

    /// `folder` is the autostart folder; `executable` the absolute path the entry starts. Without
    /// one (a development build run from its build folder) nothing is ever registered.
    XdgLoginItems(QString folder, std::optional<QString> executable);

    /// $XDG_CONFIG_HOME/autostart (~/.config/autostart).
    static QString defaultFolder();

    LoginItemStatus status() const override;
    bool registerItem(QString *error) override;
    bool unregisterItem(QString *error) override;

    QString entryPath() const;

    /// The entry that starts `executable` with "--autostart".
    static QByteArray entryText(const QString &executable);
    /// The status an existing entry's text gives.
    static LoginItemStatus statusOf(const QByteArray &entry);
    /// `argument` as one argument of an Exec line, quoted and escaped as desktop entries require.
    static QString execArgument(const QString &argument);

  private:
    QString m_folder;
    std::optional<QString> m_executable;
};

} // namespace talvex::xdg
