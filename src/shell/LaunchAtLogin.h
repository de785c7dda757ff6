#pragma once

#include "platform/LoginItems.h"

#include <QObject>
#include <QSettings>
#include <QString>
#include <memory>
#include <optional>

namespace talvex {

/// Keeps Talvex registered to start at login: turned on by default the first time Talvex runs,
/// switched by the settings window's "Launch at Login" toggle, with the status and the last failure
/// published for display. Main thread only.
class LaunchAtLogin final : public QObject {
    Q_OBJECT
    /// The toggle's state: on while the entry is enabled or awaiting approval. Writing it registers
    /// or unregisters; read it again afterwards, because a failed change leaves it as it was.
    Q_PROPERTY(bool enabled READ isEnabled WRITE setEnabled NOTIFY statusChanged)
    /// The last failure sentence, shown under the toggle; absent when the last change worked.
    Q_PROPERTY(std::optional<QString> errorMessage READ errorMessage NOTIFY errorMessageChanged)

  public:
    /// The user default set once the first-run registration has been done (or was not needed).
    static constexpr auto configuredKey = "didConfigureLaunchAtLogin";

    /// `service` outlives this object; `defaults` is the user-defaults store.
    LaunchAtLogin(LoginItems &service, std::unique_ptr<QSettings> defaults, QObject *parent = nullptr);
    ~LaunchAtLogin() override;

    LoginItemStatus status() const { return m_status; }
    bool isEnabled() const;
    const std::optional<QString> &errorMessage() const { return m_errorMessage; }

    /// At launch: registers the entry unless that was done on an earlier launch (or the entry was
    /// already on). A failed registration is tried again on the next launch.
    void configureDefault();
    /// Registers or unregisters as the toggle asks; a failure becomes `errorMessage`.
    void setEnabled(bool enabled);
    /// Reads the status from the service; notifies only when it differs.
    void refresh();

    static QString enableFailedText();
    static QString disableFailedText();

  signals:
    void statusChanged();
    void errorMessageChanged();

  private:
    void setErrorMessage(std::optional<QString> message);
    void markConfigured();

    LoginItems &m_service;
    std::unique_ptr<QSettings> m_defaults;
    LoginItemStatus m_status = LoginItemStatus::notRegistered;
    std::optional<QString> m_errorMessage;
};

} // namespace talvex
