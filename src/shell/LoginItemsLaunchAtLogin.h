#pragma once

#include "SettingsLaunchAtLogin.h"

namespace talvex {

/// Launch at login straight over the desktop's login-item facility: switching registers or
/// removes the entry, and a failure becomes the error message.
class LoginItemsLaunchAtLogin final : public SettingsLaunchAtLogin {
    Q_OBJECT

  public:
    static QString enableFailedMessage();
    static QString disableFailedMessage();

    /// `items` must outlive this object.
    explicit LoginItemsLaunchAtLogin(LoginItems &items, QObject *parent = nullptr);

    LoginItemStatus status() const override { return m_status; }
    std::optional<QString> errorMessage() const override { return m_errorMessage; }
    void refresh() override;
    void setEnabled(bool enabled) override;
    /// Outside a sandbox the desktop never asks for approval, so there is nothing to open.
    void openLoginItemsSettings() override {}

  private:
    void update(LoginItemStatus status, std::optional<QString> errorMessage);

    LoginItems &m_items;
    LoginItemStatus m_status = LoginItemStatus::notRegistered;
    std::optional<QString> m_errorMessage;
};

} // namespace talvex
