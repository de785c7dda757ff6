// Which backend serves each service in every kind of session, and what the user is told.
#include "SessionPlan.h"

#include <gtest/gtest.h>

namespace talvex {
namespace {

using Plan = SessionPlan;

struct Case {
    const char *name;
    SessionFacts facts;
    Plan::Path path;
    Plan::HotKeys hotKeys;
    Plan::Chords chords;
    Plan::Keyboard keyboard;
    Plan::Clipboard clipboard;
    Plan::Workspace workspace;
    bool bindToggle;
    int limitations;
};

SessionFacts facts(bool wayland, bool sway, bool virtualKeyboard, bool dataControl, bool shortcutsPortal,
                   bool remoteDesktopPortal)
{
    SessionFacts f;
    f.wayland = wayland;
    f.xwayland = true;
    f.sway = sway;
    f.virtualKeyboard = virtualKeyboard;
    f.dataControl = dataControl;
    f.globalShortcutsPortal = shortcutsPortal;
    f.remoteDesktopPortal = remoteDesktopPortal;
    return f;
}

TEST(SessionPlan, EachKindOfSessionGetsItsBackendsAndItsLimits)
{
    const std::vector<Case> cases = {
        {"X11 session, whatever else is around", facts(false, true, true, true, true, true), Plan::Path::x11,
         Plan::HotKeys::x11, Plan::Chords::x11, Plan::Keyboard::xtest, Plan::Clipboard::qt,
         Plan::Workspace::x11, false, 0},
        {"sway", facts(true, true, true, true, false, false), Plan::Path::sway, Plan::HotKeys::sway,
         Plan::Chords::sway, Plan::Keyboard::virtualKeyboard, Plan::Clipboard::dataControl,
         Plan::Workspace::sway, false, 0},
        {"KDE Plasma: both portals, data control, no virtual keyboard",
         facts(true, false, false, true, true, true), Plan::Path::portal, Plan::HotKeys::portal,
         Plan::Chords::none, Plan::Keyboard::remoteDesktop, Plan::Clipboard::dataControl,
         Plan::Workspace::accessibility, false, 1},
        {"GNOME 43: remote desktop only", facts(true, false, false, false, false, true), Plan::Path::portal,
         Plan::HotKeys::x11, Plan::Chords::x11, Plan::Keyboard::remoteDesktop, Plan::Clipboard::qt,
         Plan::Workspace::accessibility, true, 3},
        {"a bare compositor: nothing at all", facts(true, false, false, false, false, false),
         Plan::Path::limited, Plan::HotKeys::x11, Plan::Chords::x11, Plan::Keyboard::xtest,
         Plan::Clipboard::qt, Plan::Workspace::accessibility, true, 4},
        {"wlroots without sway's socket", facts(true, false, true, true, false, false), Plan::Path::limited,
         Plan::HotKeys::x11, Plan::Chords::x11, Plan::Keyboard::virtualKeyboard, Plan::Clipboard::dataControl,
         Plan::Workspace::accessibility, true, 2},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const Plan plan = Plan::decide(c.facts);
        EXPECT_EQ(plan.path, c.path);
        EXPECT_EQ(plan.hotKeys, c.hotKeys);
        EXPECT_EQ(plan.chords, c.chords);
        EXPECT_EQ(plan.keyboard, c.keyboard);
        EXPECT_EQ(plan.clipboard, c.clipboard);
        EXPECT_EQ(plan.workspace, c.workspace);
        EXPECT_EQ(plan.bindToggleInDesktopSettings, c.bindToggle);
        EXPECT_EQ(plan.limitations.size(), c.limitations)
            << plan.limitations.join(QLatin1Char('\n')).toStdString();
        // The shell's note for a desktop binding names the command to bind.
        EXPECT_EQ(plan.limitations.join(QLatin1Char(' ')).contains(QLatin1String("talvex toggle")),
                  c.bindToggle);
    }
}

} // namespace
} // namespace talvex
