// The texts of our sway commands, the markers read back from binding events, and the keys a chord
// is bound on in a layout.
#include "SwayBindings.h"

#include <QStringList>
#include <gtest/gtest.h>

namespace talvex::wayland {
namespace {

constexpr std::uint32_t ctrl = SwayBindings::controlBit, alt = SwayBindings::altBit,
                        shift = SwayBindings::shiftBit, super = SwayBindings::superBit;

TEST(SwayBindings, CommandsNameTheKeyByCodeWithoutRepeatAndWithTheRightTwin)
{
    const SwayMarker marker{4242, SwayMarker::Kind::hotKey, 0x544C5658, 7, true};
    EXPECT_EQ(SwayBindings::bindCommand({ctrl | shift, 65, false}, marker),
              QStringLiteral("bindcode --no-repeat --no-warn Ctrl+Shift+65 nop talvex-shortcut 4242 hotkey "
                             "1414288984 7 press"));
    EXPECT_EQ(SwayBindings::unbindCommand({ctrl | alt | shift | super, 40, true}),
              QStringLiteral("unbindcode --release Ctrl+Mod1+Shift+Mod4+40"));
    EXPECT_EQ(SwayBindings::combination({0, 75, false}), QStringLiteral("75")) << "a function key alone";
    EXPECT_FALSE(SwayBindings::modifierPrefix(ctrl | 0x1000000)) << "Fn cannot be bound";
}

TEST(SwayBindings, MarkersReadBackExactlyAndNothingElseIsOne)
{
    const std::vector<SwayMarker> markers = {
        {1, SwayMarker::Kind::hotKey, 0x544C5658, 1, true},
        {99999, SwayMarker::Kind::hotKey, 0xFFFFFFFF, 0xFFFFFFFF, false},
        {123, SwayMarker::Kind::chord, 0, 3, true},
        {123, SwayMarker::Kind::chord, 0, 3, false},
    };
    for (const SwayMarker &marker : markers)
        EXPECT_EQ(SwayBindings::parseMarker(QStringLiteral("nop ") + SwayBindings::markerText(marker)),
                  marker)
            << SwayBindings::markerText(marker).toStdString();

    const QStringList foreign = {
        QString(),
        QStringLiteral("exec foot"),
        QStringLiteral("nop"),
        QStringLiteral("nop something else entirely"),
        QStringLiteral("exec talvex-shortcut 1 hotkey 2 3 press"),
        QStringLiteral("nop talvex-shortcut 0 hotkey 2 3 press"),
        QStringLiteral("nop talvex-shortcut -5 hotkey 2 3 press"),
        QStringLiteral("nop talvex-shortcut 12 hotkey 2 3 pressed"),
        QStringLiteral("nop talvex-shortcut 12 hotkey x 3 press"),
        QStringLiteral("nop talvex-shortcut 12 hotkey 2 press"),
        QStringLiteral("nop talvex-shortcut 12 chord 3 4 press"),
        QStringLiteral("nop talvex-shortcut 12 window 3 press"),
        QStringLiteral("nop talvex-shortcut 12 chord 99999999999 press"),
    };
    for (const QString &command : foreign)
        EXPECT_FALSE(SwayBindings::parseMarker(command)) << command.toStdString();
}

struct ChordCase {
    const char *layout;
    std::uint32_t chord;
    std::vector<SwayBinding> expected;
};

TEST(SwayBindings, AChordIsBoundOnEachOfItsModifierKeysWithTheOthersHeld)
{
    const std::vector<ChordCase> cases = {
        // us: Control_L 37, Control_R 105, Alt_L 64, Alt_R 108.
        {"us", ctrl | alt, {{alt, 37, false}, {alt, 105, false}, {ctrl, 64, false}, {ctrl, 108, false}}},
        // de: the right Alt is AltGr, which does not complete an Alt chord.
        {"de", ctrl | alt, {{alt, 37, false}, {alt, 105, false}, {ctrl, 64, false}}},
        {"us",
         shift | super,
         {{super, 50, false}, {super, 62, false}, {shift, 133, false}, {shift, 134, false}}},
        {"us", 0, {}},
        {"us", ctrl | 0x1000000, {}},
    };
    for (const ChordCase &c : cases) {
        SCOPED_TRACE(std::string(c.layout) + " " + std::to_string(c.chord));
        const auto keymap = XkbKeymap::fromNames(QString::fromLatin1(c.layout));
        ASSERT_TRUE(keymap);
        EXPECT_EQ(SwayBindings::chordBindings(c.chord, *keymap), c.expected);
    }
}

} // namespace
} // namespace talvex::wayland
