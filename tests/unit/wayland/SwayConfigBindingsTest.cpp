// The user's own sway bindings, read from the configuration text sway reports, and whether one of
// ours would fire on the same keys.
#include "SwayConfigBindings.h"

#include <QMap>
#include <QRegularExpression>
#include <gtest/gtest.h>

namespace talvex::wayland {
namespace {

constexpr std::uint32_t ctrl = SwayBindings::controlBit, alt = SwayBindings::altBit,
                        shift = SwayBindings::shiftBit, super = SwayBindings::superBit;

QStringList combinations(const std::vector<ConfiguredBinding> &bindings)
{
    QStringList result;
    for (const ConfiguredBinding &binding : bindings)
        result << binding.combination;
    return result;
}

TEST(SwayConfigBindings, ReadsTheDefaultModeAsSwayDoes)
{
    const QMap<QString, QString> files = {
        {QStringLiteral("/etc/sway/config.d/50-keys.conf"), QStringLiteral("bindsym $mod+F1 exec help\n")},
        {QStringLiteral("/home/u/.config/sway/more"),
         QStringLiteral("bindcode Ctrl+Shift+65 exec x\ninclude more\n")}, // includes itself: read once
    };
    const QString text = QStringLiteral("# comment bindsym Ctrl+x exec no\n"
                                        "set $mod Mod4\n"
                                        "set $mod2 Ctrl\n"
                                        "bindsym $mod+Return exec foot\n"
                                        "bindsym --release --no-repeat $mod2+Alt+d \\\n"
                                        "    exec dmenu\n"
                                        "bindsym --whole-window $mod+button1 move\n"
                                        "bindsym Group2+Ctrl+a exec grouped\n"
                                        "bindsym Mod5+q exec altgr\n"
                                        "mode \"resize\" {\n"
                                        "    bindsym Left resize shrink width 10px\n"
                                        "    bindsym $mod+Return mode default\n"
                                        "}\n"
                                        "bindsym --to-code {\n"
                                        "    $mod+1 workspace 1\n"
                                        "    \"$mod+Shift+1\" move to workspace 1\n"
                                        "}\n"
                                        "input * {\n"
                                        "    xkb_layout de\n"
                                        "}\n"
                                        "include /etc/sway/config.d/*\n"
                                        "include more\n");
    const auto read = [&](const QString &path) -> std::optional<QString> {
        return files.contains(path) ? std::optional(files.value(path)) : std::nullopt;
    };
    const auto expand = [&](const QString &pattern) {
        QStringList paths;
        for (const QString &path : files.keys())
            if (QRegularExpression(QRegularExpression::wildcardToRegularExpression(pattern))
                    .match(path)
                    .hasMatch())
                paths << path;
        return paths;
    };
    const auto bindings =
        SwayConfigBindings::parse(text, QStringLiteral("/home/u/.config/sway"), read, expand);
    EXPECT_EQ(combinations(bindings), QStringList({"Mod4+Return", "Ctrl+Alt+d", "Group2+Ctrl+a", "Mod5+q",
                                                   "Mod4+1", "Mod4+Shift+1", "Mod4+F1", "Ctrl+Shift+65"}));
    ASSERT_EQ(bindings.size(), 8u);
    EXPECT_EQ(bindings[1].modifiers, ctrl | alt);
    EXPECT_EQ(bindings[2].modifiers, ctrl) << "the group does not change the key";
    EXPECT_TRUE(bindings[3].otherModifiers);
    EXPECT_TRUE(bindings[7].byKeycode);
}

struct ConflictCase {
    const char *configured;
    SwayBinding ours;
    bool conflicts;
};

TEST(SwayConfigBindings, AConfiguredBindingConflictsWhenItFiresOnOurKeys)
{
    const auto keymap = XkbKeymap::fromNames(QStringLiteral("us"));
    ASSERT_TRUE(keymap);
    // Keycodes in "us": space 65, d 40, 1 10, Alt_L 64, Control_L 37.
    const std::vector<ConflictCase> cases = {
        {"bindsym Ctrl+Shift+space x", {ctrl | shift, 65, false}, true},
        {"bindsym ctrl+shift+SPACE x", {ctrl | shift, 65, false}, true},
        {"bindsym Ctrl+space x", {ctrl | shift, 65, false}, false},
        {"bindsym Ctrl+Shift+space x", {ctrl | shift, 40, false}, false},
        {"bindcode Ctrl+Shift+65 x", {ctrl | shift, 65, true}, true},
        {"bindcode Ctrl+Shift+66 x", {ctrl | shift, 65, false}, false},
        {"bindsym Mod4+exclam x", {super | shift, 10, false}, true},
        {"bindsym Mod4+exclam x", {super, 10, false}, false},
        {"bindsym Ctrl+Alt_L x", {ctrl, 64, false}, true},
        {"bindsym Mod1+Control_L x", {alt, 37, false}, true},
        {"bindsym Mod2+Ctrl+Shift+space x", {ctrl | shift, 65, false}, false},
        {"bindsym Ctrl+Shift+space+d x", {ctrl | shift, 65, false}, false},
        {"bindsym Ctrl+Shift+NoSuchKey x", {ctrl | shift, 65, false}, false},
    };
    for (const ConflictCase &c : cases) {
        SCOPED_TRACE(c.configured);
        const auto bindings = SwayConfigBindings::parse(QString::fromLatin1(c.configured), QString());
        ASSERT_EQ(bindings.size(), 1u);
        EXPECT_EQ(SwayConfigBindings::conflicts(bindings.front(), c.ours, *keymap), c.conflicts);
    }
}

} // namespace
} // namespace talvex::wayland
