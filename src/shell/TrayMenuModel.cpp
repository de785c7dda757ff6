#include "TrayMenuModel.h"

namespace talvex::TrayMenuModel {

namespace {

MenuRow button(MenuRowId id, QString text, bool visible = true, bool enabled = true, QKeySequence keys = {})
{
    return MenuRow{id, MenuRowKind::button, std::move(text), visible, enabled, std::move(keys)};
}

MenuRow text(MenuRowId id, QString text, bool visible)
{
    return MenuRow{id, MenuRowKind::text, std::move(text), visible, false, {}};
}

MenuRow separator(MenuRowId id)
{
    return MenuRow{id, MenuRowKind::separator, {}, true, false, {}};
}

} // namespace

std::vector<MenuRow> rows(const MenuState &state)
{
    const bool dictating = state.phase == Phase::preparing || state.phase == Phase::recording;
    return {
        button(MenuRowId::onboarding, QStringLiteral("Talvex Onboarding…")),
        separator(MenuRowId::topSeparator),
        text(MenuRowId::shortcutHint, QStringLiteral("Tap or hold %1 to dictate").arg(state.shortcutLabel),
             true),
        text(MenuRowId::waylandHint, waylandHint(), state.waylandSession),
        button(MenuRowId::cancelDictation, QStringLiteral("Cancel Dictation"), dictating),
        button(MenuRowId::copyLastTranscript, QStringLiteral("Copy Last Transcript"),
               state.hasRecentTranscript),
        text(MenuRowId::message, state.message.value_or(QString()), state.message.has_value()),
        button(MenuRowId::enableAutomaticPaste, QStringLiteral("Enable Automatic Paste…"),
               state.pasteNeedsAttention && !state.accessibilityReady),
        text(MenuRowId::chooseShortcut, QStringLiteral("Choose an available shortcut in Talvex Onboarding."),
             !state.shortcutReady),
        separator(MenuRowId::bottomSeparator),
        button(MenuRowId::settings, QStringLiteral("Settings…"), true, true,
               QKeySequence(Qt::CTRL | Qt::Key_Comma)),
        button(MenuRowId::checkForUpdates, QStringLiteral("Check for Updates…"), true,
               state.canCheckForUpdates && state.phase == Phase::idle),
        button(MenuRowId::about, QStringLiteral("About Talvex")),
        button(MenuRowId::help, QStringLiteral("Get App Help")),
        button(MenuRowId::feedback, QStringLiteral("Send Feedback…")),
        button(MenuRowId::quit, QStringLiteral("Quit Talvex"), true, true,
               QKeySequence(Qt::CTRL | Qt::Key_Q)),
    };
}

TrayIconKind icon(const MenuState &state)
{
    if (state.phase == Phase::recording)
        return TrayIconKind::recording;
    if (state.pasteNeedsAttention)
        return TrayIconKind::attention;
    return TrayIconKind::ready;
}

QString waylandHint()
{
    return QStringLiteral("On Wayland, bind “talvex toggle” to a key in your desktop’s keyboard settings.");
}

QString waylandMessage()
{
    return QStringLiteral(
        "On Wayland, the shortcut reaches Talvex only while a window of an X11 application has "
        "focus. To dictate anywhere, bind “talvex toggle” to a key in your desktop’s keyboard "
        "settings.");
}

} // namespace talvex::TrayMenuModel
