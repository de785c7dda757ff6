// With only an XEmbed tray (trayer, no StatusNotifier watcher), Talvex's icon is embedded in the
// tray, and clicking it opens the menu.
#include "DictationHarness.h"
#include "TalvexWindows.h"

#include <gtest/gtest.h>

namespace talvex::test {
namespace {

using e2e::TalvexProcess;
using e2e::waitFor;
using namespace std::chrono_literals;

constexpr std::uint32_t escapeKey = 0xff1b;

TEST(TrayXEmbedTest, IconIsEmbeddedAndAClickOpensTheMenu)
{
    TalvexProcess talvex;
    QString error;
    ASSERT_TRUE(talvex.start({}, &error)) << error.toStdString();
    ASSERT_TRUE(
        talvex.waitForLine(QStringLiteral("app"), QStringLiteral("System tray found: XEmbed tray"), 0))
        << talvex.log().toStdString();

    std::optional<XWindow> icon;
    ASSERT_TRUE(waitFor([&] { return (icon = viewableIcon(talvex.pid())).has_value(); }, 20s))
        << "the tray never showed the icon\n"
        << talvex.log().toStdString();

    // The right button: the test desktop's window manager binds a left press on clients to
    // focusing them, and that grab keeps the press from embedded tray icons.
    click(icon->geometry, 3);
    std::optional<XWindow> menu;
    ASSERT_TRUE(waitFor([&] { return (menu = openMenu(talvex.pid())).has_value(); }, 10s))
        << "a click on the icon opened no menu";
    EXPECT_GE(menu->geometry.height(), 10 * 16) << "the menu has all its rows";

    e2e::XTestKeyboard keys;
    keys.press(escapeKey);
    keys.release(escapeKey);
    EXPECT_TRUE(waitFor([&] { return !openMenu(talvex.pid()); }, 10s)) << "Escape closes the menu";
    EXPECT_TRUE(talvex.stop()) << talvex.log().toStdString();
}

} // namespace
} // namespace talvex::test
