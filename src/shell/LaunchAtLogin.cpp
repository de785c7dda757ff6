#include "LaunchAtLogin.h"

#include "platform/Logging.h"

namespace talvex {

namespace {

bool isOn(LoginItemStatus status)
{
    return status == LoginItemStatus::enabled || status == LoginItemStatus::requiresApproval;
}

} // namespace

LaunchAtLogin::LaunchAtLogin(LoginItems &service, std::unique_ptr<QSettings> defaults, QObject *parent)
    : QObject(parent), m_service(service), m_defaults(std::move(defaults))
{
}

LaunchAtLogin::~LaunchAtLogin() = default;

bool LaunchAtLogin::isEnabled() const
{
    return isOn(m_status);
}

QString LaunchAtLogin::enableFailedText()
{
    return QStringLiteral("Talvex couldn’t enable Launch at Login.");
}

QString LaunchAtLogin::disableFailedText()
{
    return QStringLiteral("Talvex couldn’t disable Launch at Login.");
}

void LaunchAtLogin::configureDefault()
{
    refresh();
    if (m_defaults->value(QLatin1String(configuredKey)).toBool())
        return;
    if (isOn(m_status)) {
        markConfigured();
        return;
    }
    setEnabled(true);
}

void LaunchAtLogin::setEnabled(bool enabled)
{
    refresh();
    setErrorMessage(std::nullopt);

    QString reason;
    bool failed = false;
    if (isOn(m_status) && !enabled) {
        if (!m_service.unregisterItem(&reason)) {
            failed = true;
            setErrorMessage(disableFailedText());
        }
    } else if (!isOn(m_status) && enabled) {
        if (!m_service.registerItem(&reason)) {
            failed = true;
            setErrorMessage(enableFailedText());
        }
    }
    if (failed)
        qCWarning(lcApp).noquote() << "Launch at Login:" << reason;
    else
        markConfigured();
    refresh();
}

void LaunchAtLogin::refresh()
{
    const LoginItemStatus status = m_service.status();
    if (status == m_status)
        return;
    m_status = status;
    emit statusChanged();
}

void LaunchAtLogin::setErrorMessage(std::optional<QString> message)
{
    if (message == m_errorMessage)
        return;
    m_errorMessage = std::move(message);
    emit errorMessageChanged();
}

void LaunchAtLogin::markConfigured()
{
    m_defaults->setValue(QLatin1String(configuredKey), true);
    m_defaults->sync();
}

} // namespace talvex
