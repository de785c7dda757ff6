#include "TrayMenu.h"

#include <QAction>
#include <QMenu>

namespace talvex {

TrayMenu::TrayMenu(const std::vector<MenuRow> &rows, Flavour flavour, std::function<void(MenuRowId)> chosen,
                   QObject *parent)
    : QObject(parent), m_flavour(flavour), m_menu(std::make_unique<QMenu>())
{
    m_menu->setTitle(QStringLiteral("Talvex"));
    m_menu->setAccessibleName(QStringLiteral("Talvex"));
    for (const MenuRow &row : rows) {
        QAction *action = m_menu->addAction(QString());
        action->setSeparator(row.kind == MenuRowKind::separator);
        // The key equivalents are shown, not bound: the menu belongs to no window that has focus.
        action->setShortcutContext(Qt::WidgetShortcut);
        const MenuRowId id = row.id;
        connect(action, &QAction::triggered, this, [chosen, id] { chosen(id); });
        m_actions.emplace(id, action);
        update(action, row);
    }
}

TrayMenu::~TrayMenu() = default;

void TrayMenu::apply(const std::vector<MenuRow> &rows)
{
    for (const MenuRow &row : rows) {
        if (QAction *entry = action(row.id))
            update(entry, row);
    }
}

QAction *TrayMenu::action(MenuRowId id) const
{
    const auto found = m_actions.find(id);
    return found == m_actions.end() ? nullptr : found->second;
}

void TrayMenu::update(QAction *action, const MenuRow &row)
{
    // Only real changes: each one is a round of D-Bus signals to the tray host.
    const QString text = entryText(row.text, m_flavour);
    if (action->text() != text)
        action->setText(text);
    if (action->isVisible() != row.visible)
        action->setVisible(row.visible);
    if (action->isEnabled() != row.enabled)
        action->setEnabled(row.enabled);
    if (action->shortcut() != row.keys)
        action->setShortcut(row.keys);
}

QString TrayMenu::entryText(const QString &text, Flavour flavour)
{
    QString escaped = text;
    if (flavour == Flavour::widget)
        return escaped.replace(QLatin1Char('&'), QStringLiteral("&&"));
    // Qt hands the text to the host with only its first "&" (unless last) turned into "_", and
    // leaves "_" alone, which the host reads as a mnemonic marker: a file name such as
    // "my_notes.json" would lose its underscore. Doubling "_" keeps it, and doubling the first "&"
    // makes Qt's conversion yield "_&", which the host shows as "&".
    escaped.replace(QLatin1Char('_'), QStringLiteral("__"));
    const qsizetype ampersand = escaped.indexOf(QLatin1Char('&'));
    if (ampersand >= 0 && ampersand < escaped.size() - 1)
        escaped.insert(ampersand, QLatin1Char('&'));
    return escaped;
}

} // namespace talvex
