#include "SessionPlan.h"

namespace talvex {

namespace {

const QString bindToggle = QStringLiteral(
    "The shortcut only reaches X11 windows here: bind \"talvex toggle\" to a key in the desktop's "
    "keyboard settings to dictate into every window.");
const QString noChords =
    QStringLiteral("Modifier-only shortcuts cannot be watched on this desktop: choose a key combination.");
const QString chordsOnlyX11 =
    QStringLiteral("Modifier-only shortcuts are seen only while an X11 window has focus.");
const QString noPaste = QStringLiteral(
    "This desktop lets no program type into Wayland windows: Talvex leaves the text on the clipboard "
    "for you to paste.");
const QString x11Clipboard = QStringLiteral(
    "Talvex reaches the clipboard through Xwayland; if the desktop does not share it with Wayland "
    "windows, paste yourself.");

} // namespace

SessionPlan SessionPlan::decide(const SessionFacts &facts)
{
    SessionPlan plan;
    if (!facts.wayland)
        return plan; // an X11 session: every X11 backend reaches every window

    if (facts.sway) {
        plan.path = Path::sway;
        plan.hotKeys = HotKeys::sway;
        plan.chords = Chords::sway;
        plan.workspace = Workspace::sway;
    } else {
        plan.path = facts.globalShortcutsPortal || facts.remoteDesktopPortal ? Path::portal : Path::limited;
        plan.workspace = Workspace::accessibility;
        if (facts.globalShortcutsPortal) {
            plan.hotKeys = HotKeys::portal;
            plan.chords = Chords::none;
            plan.limitations << noChords;
        } else {
            plan.hotKeys = HotKeys::x11;
            plan.chords = Chords::x11;
            plan.bindToggleInDesktopSettings = true;
            plan.limitations << bindToggle << chordsOnlyX11;
        }
    }

    if (facts.virtualKeyboard)
        plan.keyboard = Keyboard::virtualKeyboard;
    else if (facts.remoteDesktopPortal)
        plan.keyboard = Keyboard::remoteDesktop;
    else
        plan.limitations << noPaste;

    if (facts.dataControl)
        plan.clipboard = Clipboard::dataControl;
    else
        plan.limitations << x11Clipboard;
    return plan;
}

QString SessionPlan::pathName() const
{
    switch (path) {
    case Path::x11:
        return QStringLiteral("x11");
    case Path::sway:
        return QStringLiteral("sway");
    case Path::portal:
        return QStringLiteral("portal");
    case Path::limited:
        return QStringLiteral("limited");
    }
    return {};
}

} // namespace talvex
