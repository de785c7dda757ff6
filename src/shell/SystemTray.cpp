#include "SystemTray.h"

#include "MenuCommands.h"
#include "TrayIconView.h"

namespace talvex {

SystemTray::SystemTray(MenuCommands &commands, QDBusConnection bus, EmbeddedTray *embedded, QObject *parent)
    : QObject(parent), m_commands(commands), m_wait(bus, embedded), m_notice(bus)
{
    connect(&m_wait, &TrayHostWait::ready, this, [this](TrayProtocol protocol) {
        m_view = std::make_unique<TrayIconView>(m_commands, protocol);
        emit shown(protocol);
    });
    connect(&m_wait, &TrayHostWait::missing, this, [this] {
        m_notice.show(m_commands.state().shortcutLabel);
        emit missing();
    });
}

SystemTray::~SystemTray() = default;

void SystemTray::start()
{
    m_wait.start();
}

} // namespace talvex
