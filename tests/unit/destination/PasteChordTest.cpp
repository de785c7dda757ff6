#include "PasteChord.h"

#include "KeyboardPosterDouble.h"

#include <gtest/gtest.h>

namespace talvex {
namespace {

using Keys = test::KeyboardPosterDouble;

TEST(PasteChordTest, RecognisesTerminalsByClassOrInstance)
{
    EXPECT_TRUE(PasteChord::isTerminal(QStringLiteral("Gnome-terminal"), QStringLiteral("gnome-terminal-server")));
    EXPECT_TRUE(PasteChord::isTerminal(QStringLiteral("konsole"), QString()));
    EXPECT_TRUE(PasteChord::isTerminal(QString(), QStringLiteral("Alacritty")));
    EXPECT_FALSE(PasteChord::isTerminal(QStringLiteral("Gedit"), QStringLiteral("gedit")));
    EXPECT_FALSE(PasteChord::isTerminal(QString(), QString()));
}

TEST(PasteChordTest, ReleasesEverythingItPressedWhenAbandoned)
{
    Keys keyboard;
    {
        PasteChord chord(keyboard, true);
        ASSERT_TRUE(chord.pressModifiers());
        ASSERT_TRUE(chord.pressKey());
        EXPECT_EQ(keyboard.down.size(), 3u);
    } // gone without finish(), as when a delivery is torn down mid-way
    EXPECT_TRUE(keyboard.down.empty());
    EXPECT_EQ(keyboard.posts,
              (QStringList{"control down", "shift down", "v down", "v up", "shift up", "control up"}));
}

TEST(PasteChordTest, FinishTwiceSendsNothingMore)
{
    Keys keyboard;
    PasteChord chord(keyboard, false);
    chord.pressModifiers();
    chord.finish();
    const auto posts = keyboard.posts;
    chord.finish();
    EXPECT_EQ(keyboard.posts, posts);
}

TEST(PasteChordTest, UserHeldVIsLetGoAndNotGivenBack)
{
    Keys keyboard;
    keyboard.hold(Keys::v);
    keyboard.hold(Keys::space);
    keyboard.physical = std::vector<KeyboardKey>{Keys::v, Keys::space};
    PasteChord chord(keyboard, false);
    chord.pressModifiers();
    chord.pressKey();
    chord.finish();
    EXPECT_EQ(keyboard.posts, (QStringList{"v up", "control down", "v down", "v up", "control up"}));
    EXPECT_EQ(keyboard.down, (std::set<std::uint32_t>{Keys::space.id})) << "Space is not ours to touch";
}

TEST(PasteChordTest, ShiftHeldByTheUserServesTheTerminalChord)
{
    Keys keyboard;
    keyboard.hold(Keys::shift);
    keyboard.hold(Keys::alt);
    keyboard.physical = std::vector<KeyboardKey>{Keys::shift, Keys::alt};
    PasteChord chord(keyboard, true);
    chord.pressModifiers();
    chord.pressKey();
    chord.finish();
    EXPECT_EQ(keyboard.posts, (QStringList{"alt up", "control down", "v down", "v up", "control up", "alt down"}));
}

TEST(PasteChordTest, MissingKeyMakesTheChordUnsendable)
{
    Keys keyboard;
    keyboard.hasV = false;
    PasteChord chord(keyboard, false);
    EXPECT_FALSE(chord.canBeSent());
    EXPECT_FALSE(chord.pressModifiers());
    EXPECT_FALSE(chord.pressKey());
    EXPECT_TRUE(keyboard.posts.isEmpty());
}

} // namespace
} // namespace talvex
