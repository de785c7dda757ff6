#include "TrayIconView.h"

#include "MenuCommands.h"
#include "TrayIcons.h"
#include "TrayMenu.h"
#include "platform/Logging.h"

#include <QCursor>
#include <QMenu>

namespace talvex {

TrayIconView::TrayIconView(MenuCommands &commands, TrayProtocol protocol, QObject *parent)
    : QObject(parent), m_commands(commands), m_protocol(protocol)
{
    const auto rows = m_commands.rows();
    auto chosen = [this](MenuRowId id) { m_commands.trigger(id); };
    // A StatusNotifier host draws the menu itself from dbusmenu, where "_" marks mnemonics; a click
    // on the icon opens a menu Qt draws, where "&" does. Same rows, two spellings.
    if (m_protocol == TrayProtocol::statusNotifier)
        m_exported = std::make_unique<TrayMenu>(rows, TrayMenu::Flavour::exported, chosen);
    m_popup = std::make_unique<TrayMenu>(rows, TrayMenu::Flavour::widget, chosen);

    m_kind = m_commands.icon();
    m_icon = std::make_unique<QSystemTrayIcon>(TrayIcons::icon(m_kind));
    m_icon->setToolTip(QStringLiteral("Talvex"));
    m_icon->setContextMenu(m_exported ? m_exported->menu() : m_popup->menu());
    connect(m_icon.get(), &QSystemTrayIcon::activated, this, &TrayIconView::activated);
    connect(&m_commands, &MenuCommands::changed, this, &TrayIconView::refresh);
    m_icon->show();
}

TrayIconView::~TrayIconView() = default;

void TrayIconView::refresh()
{
    const auto rows = m_commands.rows();
    if (m_exported)
        m_exported->apply(rows);
    m_popup->apply(rows);
    const TrayIconKind kind = m_commands.icon();
    if (kind != m_kind) {
        m_kind = kind;
        m_icon->setIcon(TrayIcons::icon(kind));
    }
}

void TrayIconView::activated(QSystemTrayIcon::ActivationReason reason)
{
    // A left click opens the same menu as a right click. With XEmbed the toolkit already opens the
    // context menu on a right click; a StatusNotifier host that does not read dbusmenu asks for it.
    qCDebug(lcApp, "Tray icon activated: %d", int(reason));
    const bool open = reason == QSystemTrayIcon::Trigger ||
                      (reason == QSystemTrayIcon::Context && m_protocol == TrayProtocol::statusNotifier);
    if (open && !m_popup->menu()->isVisible())
        m_popup->menu()->popup(QCursor::pos());
}

} // namespace talvex
