#include "LoginItemsLaunchAtLogin.h"

#include "platform/Logging.h"

namespace talvex {

QString LoginItemsLaunchAtLogin::enableFailedMessage()
{
    return QStringLiteral("Talvex couldn\u2019t enable Launch at Login.");
}

QString LoginItemsLaunchAtLogin::disableFailedMessage()
{
    return QStringLiteral("Talvex couldn\u2019t disable Launch at Login.");
}

LoginItemsLaunchAtLogin::LoginItemsLaunchAtLogin(LoginItems &items, QObject *parent)
    : SettingsLaunchAtLogin(parent), m_items(items), m_status(items.status())
{
}

void LoginItemsLaunchAtLogin::refresh()
{
    update(m_items.status(), m_errorMessage);
}

void LoginItemsLaunchAtLogin::setEnabled(bool enabled)
{
    const LoginItemStatus status = m_items.status();
    const bool on = status == LoginItemStatus::enabled || status == LoginItemStatus::requiresApproval;
    std::optional<QString> error;
    QString detail;
    if (on && !enabled && !m_items.unregisterItem(&detail))
        error = disableFailedMessage();
    else if (!on && enabled && !m_items.registerItem(&detail))
        error = enableFailedMessage();
    if (error)
        qCWarning(lcApp, "%s %s", qUtf8Printable(*error), qUtf8Printable(detail));
    update(m_items.status(), error);
}

void LoginItemsLaunchAtLogin::update(LoginItemStatus status, std::optional<QString> errorMessage)
{
    if (status == m_status && errorMessage == m_errorMessage)
        return;
    m_status = status;
    m_errorMessage = std::move(errorMessage);
    emit changed();
}

} // namespace talvex
