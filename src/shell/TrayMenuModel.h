#pragma once

#include "core/DictationController.h"

#include <QKeySequence>
#include <QString>
#include <optional>
#include <vector>

namespace talvex {

/// Everything the tray menu and its icon depend on, read from the controller, the updater and the
/// session in one go.
struct MenuState {
    Phase phase = Phase::idle;
    QString shortcutLabel; ///< the current shortcut as the user sees it ("Ctrl+Shift+Space")
    bool hasRecentTranscript = false;
    std::optional<QString> message;
    bool pasteNeedsAttention = false;
    bool accessibilityReady = false;
    bool shortcutReady = false;
    bool canCheckForUpdates = false;
    /// Talvex runs on Xwayland, where the X key grab sees keys only while an X window has focus.
    bool waylandSession = false;

    friend bool operator==(const MenuState &, const MenuState &) = default;
};

/// The rows of the tray menu, top to bottom. Every row always exists; the conditional ones are
/// hidden while their condition does not hold, so the menu can be built once and updated in place.
enum class MenuRowId {
    onboarding,
    topSeparator,
    shortcutHint,
    waylandHint,
    cancelDictation,
    copyLastTranscript,
    message,
    enableAutomaticPaste,
    chooseShortcut,
    bottomSeparator,
    settings,
    checkForUpdates,
    about,
    help,
    feedback,
    quit,
};

enum class MenuRowKind {
    button,
    text, ///< information only: shown as a disabled entry
    separator,
};

struct MenuRow {
    MenuRowId id;
    MenuRowKind kind;
    QString text;
    bool visible = true;
    bool enabled = true;
    QKeySequence keys; ///< the key equivalent shown beside the row, if any

    friend bool operator==(const MenuRow &, const MenuRow &) = default;
};

/// Which picture the tray shows.
enum class TrayIconKind { recording, attention, ready };

/// The menu and icon as pure functions of the state.
namespace TrayMenuModel {

/// Every row in menu order, with its text, visibility and enabled state for `state`.
std::vector<MenuRow> rows(const MenuState &state);

/// Recording wins, then a paste that needs attention, else the ready picture.
TrayIconKind icon(const MenuState &state);

/// The sentence of the Wayland hint row and of the one-time message.
QString waylandHint();
QString waylandMessage();

} // namespace TrayMenuModel

} // namespace talvex
