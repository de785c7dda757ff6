#include "MenuCommands.h"

#include "core/DictationController.h"
#include "platform/Clipboard.h"
#include "platform/Logging.h"

#include <algorithm>

namespace talvex {

MenuLinks MenuLinks::configured()
{
    return {QUrl(QStringLiteral(TALVEX_HELP_URL)), QUrl(QStringLiteral(TALVEX_FEEDBACK_URL))};
}

MenuCommands::MenuCommands(DictationController &controller, Clipboard &clipboard, MenuActions actions,
                           QObject *parent)
    : QObject(parent), m_controller(controller), m_clipboard(clipboard), m_actions(std::move(actions))
{
    using C = DictationController;
    for (auto signal :
         {&C::phaseChanged, &C::latestChanged, &C::libraryChanged, &C::messageChanged,
          &C::pasteNeedsAttentionChanged, &C::accessibilityReadyChanged, &C::shortcutReadyChanged})
        connect(&m_controller, signal, this, &MenuCommands::recheck);
    m_announced = state();
}

void MenuCommands::setUpdateChecks(UpdateChecks checks)
{
    m_updates = std::move(checks);
    recheck();
}

void MenuCommands::setWaylandSession(bool wayland)
{
    m_wayland = wayland;
    recheck();
}

void MenuCommands::updatesChanged()
{
    recheck();
}

MenuState MenuCommands::state() const
{
    MenuState state;
    state.phase = m_controller.phase();
    state.shortcutLabel = m_controller.preferences().shortcutKey.displayText();
    state.hasRecentTranscript = m_controller.mostRecentTranscript().has_value();
    state.message = m_controller.message();
    state.pasteNeedsAttention = m_controller.pasteNeedsAttention();
    state.accessibilityReady = m_controller.accessibilityReady();
    state.shortcutReady = m_controller.shortcutReady();
    state.canCheckForUpdates = m_updates.canCheck && m_updates.canCheck();
    state.waylandSession = m_wayland;
    return state;
}

void MenuCommands::recheck()
{
    // Several properties change together at the end of a dictation; announce each new state once.
    MenuState now = state();
    if (now == m_announced)
        return;
    m_announced = std::move(now);
    emit changed();
}

void MenuCommands::trigger(MenuRowId id)
{
    const auto all = rows();
    const auto row = std::find_if(all.begin(), all.end(), [id](const MenuRow &r) { return r.id == id; });
    if (row == all.end() || row->kind != MenuRowKind::button || !row->visible || !row->enabled)
        return;

    auto run = [](const std::function<void()> &action) {
        if (action)
            action();
    };
    auto open = [this](const QUrl &url) {
        if (m_actions.openUrl && url.isValid())
            m_actions.openUrl(url);
    };
    switch (id) {
    case MenuRowId::onboarding:
        return run(m_actions.openOnboarding);
    case MenuRowId::cancelDictation:
        return m_controller.cancel();
    case MenuRowId::copyLastTranscript:
        return copyLastTranscript();
    case MenuRowId::enableAutomaticPaste:
        m_controller.allowAccessibility();
        return;
    case MenuRowId::settings:
        return run(m_actions.openSettings);
    case MenuRowId::checkForUpdates:
        return run(m_updates.check);
    case MenuRowId::about:
        return run(m_actions.openAbout);
    case MenuRowId::help:
        return open(m_links.help);
    case MenuRowId::feedback:
        return open(m_links.feedback);
    case MenuRowId::quit:
        return run(m_actions.quit);
    case MenuRowId::topSeparator:
    case MenuRowId::shortcutHint:
    case MenuRowId::waylandHint:
    case MenuRowId::message:
    case MenuRowId::chooseShortcut:
    case MenuRowId::bottomSeparator:
        return;
    }
}

void MenuCommands::copyLastTranscript()
{
    const std::optional<Transcript> transcript = m_controller.mostRecentTranscript();
    if (!transcript)
        return;
    // Plain text only: whatever else was on the clipboard goes.
    if (!m_clipboard.setText(ClipboardSelection::clipboard, transcript->text))
        qCWarning(lcApp, "The last transcript could not be put on the clipboard");
}

} // namespace talvex
