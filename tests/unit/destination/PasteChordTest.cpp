#include "PasteChord.h"

#include "KeyboardPosterDouble.h"

#include <gtest/gtest.h>

namespace talvex {
namespace {

using Keys = test::KeyboardPosterDouble;

TEST(PasteChordTest, ChoosesTheKeysByWindowClassAndFocusedElement)
{
    struct Case {
        const char *windowClass;
        const char *instance;
        bool terminalElement;
        PasteKeys expected;
    };
    const Case cases[] = {
        {"Gnome-terminal", "gnome-terminal-server", false, PasteKeys::controlShiftV},
        {"konsole", "", false, PasteKeys::controlShiftV},
        {"", "Alacritty", false, PasteKeys::controlShiftV},
        {"QTerminal", "qterminal", false, PasteKeys::controlShiftV}, // its screen is no terminal element
        {"Some-new-term", "some-new-term", true, PasteKeys::controlShiftV}, // unlisted, known by its role
        {"XTerm", "xterm", false, PasteKeys::shiftInsert},
        {"URxvt", "urxvt", false, PasteKeys::shiftInsert},
        {"XTerm", "xterm", true, PasteKeys::shiftInsert}, // the class wins: Ctrl+Shift+V does nothing there
        {"Gedit", "gedit", false, PasteKeys::controlV},
        {"", "", false, PasteKeys::controlV},
    };
    for (const Case &c : cases)
        EXPECT_EQ(PasteChord::keysFor(QString::fromLatin1(c.windowClass), QString::fromLatin1(c.instance),
                                      c.terminalElement),
                  c.expected)
            << c.windowClass << " / " << c.instance << " terminal element " << c.terminalElement;
}

TEST(PasteChordTest, ShiftInsertLetsHeldControlGoAndGivesItBack)
{
    Keys keyboard;
    keyboard.hold(Keys::control);
    keyboard.physical = std::vector<KeyboardKey>{Keys::control};
    PasteChord chord(keyboard, PasteKeys::shiftInsert);
    EXPECT_TRUE(chord.pastesPrimary());
    ASSERT_TRUE(chord.pressModifiers());
    ASSERT_TRUE(chord.pressKey());
    chord.finish();
    EXPECT_EQ(keyboard.posts,
              (QStringList{"control up", "shift down", "insert down", "insert up", "shift up", "control down"}));
}

TEST(PasteChordTest, ReleasesEverythingItPressedWhenAbandoned)
{
    Keys keyboard;
    {
        PasteChord chord(keyboard, PasteKeys::controlShiftV);
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
    PasteChord chord(keyboard, PasteKeys::controlV);
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
    PasteChord chord(keyboard, PasteKeys::controlV);
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
    PasteChord chord(keyboard, PasteKeys::controlShiftV);
    chord.pressModifiers();
    chord.pressKey();
    chord.finish();
    EXPECT_EQ(keyboard.posts, (QStringList{"alt up", "control down", "v down", "v up", "control up", "alt down"}));
}

TEST(PasteChordTest, MissingKeyMakesTheChordUnsendable)
{
    Keys keyboard;
    keyboard.hasV = false;
    PasteChord chord(keyboard, PasteKeys::controlV);
    EXPECT_FALSE(chord.canBeSent());
    EXPECT_FALSE(chord.pressModifiers());
    EXPECT_FALSE(chord.pressKey());
    EXPECT_TRUE(keyboard.posts.isEmpty());
}

} // namespace
} // namespace talvex
