#include "ControlService.h"

#include "DictationCommands.h"
#include "TalvexDelegate.h"
#include "platform/Logging.h"
#include "platform/Version.h"

#include <QDBusMessage>
#include <QMetaEnum>
#include <QVariantMap>

namespace talvex {

ControlService::ControlService(QDBusConnection bus, QObject *parent) : QObject(parent), m_bus(std::move(bus))
{
}

ControlService::~ControlService()
{
    if (m_exported)
        m_bus.unregisterObject(ControlBus::path());
}

bool ControlService::exportObject()
{
    if (!m_exported)
        m_exported = m_bus.registerObject(ControlBus::path(), this,
                                          QDBusConnection::ExportScriptableSlots |
                                              QDBusConnection::ExportAllProperties);
    return m_exported;
}

void ControlService::attach(TalvexDelegate &delegate)
{
    m_delegate = &delegate;
    connect(&delegate.controller(), &DictationController::phaseChanged, this, &ControlService::announcePhase);
    announcePhase();
    if (std::exchange(m_pendingReopen, false))
        delegate.applicationShouldHandleReopen();
    if (std::exchange(m_pendingSettings, false))
        delegate.openSettings();
}

QString ControlService::phase() const
{
    if (!m_delegate)
        return QStringLiteral("starting");
    const char *name = QMetaEnum::fromType<DictationController::Phase>().valueToKey(
        static_cast<int>(m_delegate->controller().phase()));
    return QString::fromLatin1(name ? name : "idle");
}

QString ControlService::version()
{
    return QString::fromLatin1(talvexVersion);
}

void ControlService::Toggle()
{
    command(ControlBus::Command::toggle);
}

void ControlService::Start()
{
    command(ControlBus::Command::start);
}

void ControlService::Stop()
{
    command(ControlBus::Command::stop);
}

void ControlService::Cancel()
{
    command(ControlBus::Command::cancel);
}

void ControlService::Reopen()
{
    qCInfo(lcApp, "Launched again");
    if (m_delegate)
        m_delegate->applicationShouldHandleReopen();
    else
        m_pendingReopen = true;
}

void ControlService::OpenSettings()
{
    if (m_delegate)
        m_delegate->openSettings();
    else
        m_pendingSettings = true;
}

void ControlService::command(ControlBus::Command command)
{
    if (!m_delegate) {
        if (calledFromDBus())
            sendErrorReply(ControlBus::startingError(),
                           QStringLiteral("Talvex is still starting; try again in a moment."));
        return;
    }
    qCInfo(lcApp).noquote() << "Command" << ControlBus::method(command);
    DictationController &controller = m_delegate->controller();
    switch (command) {
    case ControlBus::Command::toggle:
        return DictationCommands::toggle(controller);
    case ControlBus::Command::start:
        return DictationCommands::start(controller);
    case ControlBus::Command::stop:
        return DictationCommands::stop(controller);
    case ControlBus::Command::cancel:
        return DictationCommands::cancel(controller);
    case ControlBus::Command::reopen:
    case ControlBus::Command::openSettings:
        return;
    }
}

void ControlService::announcePhase()
{
    if (!m_exported)
        return;
    QDBusMessage changed =
        QDBusMessage::createSignal(ControlBus::path(), QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    changed << ControlBus::interface() << QVariantMap{{QStringLiteral("Phase"), phase()}} << QStringList();
    m_bus.send(changed);
}

} // namespace talvex
