#include "desktop/DictationShortcutGesture.h"
#include "desktop/ModifierChordCapture.h"

#include <gtest/gtest.h>

using namespace talvex;
using Phase = DictationShortcutGesture::Phase;
using Action = DictationShortcutGesture::Action;
using Kind = ModifierChordCapture::Outcome::Kind;

TEST(DictationShortcutGesture, HoldOfAtLeastThresholdStopsAtRelease)
{
    DictationShortcutGesture gesture;
    EXPECT_EQ(gesture.handle(true, 10.00, Phase::idle), Action::start);
    EXPECT_EQ(gesture.press(), (DictationShortcutGesture::Press{10.00, true}));
    EXPECT_EQ(gesture.handle(false, 10.30, Phase::recording), Action::stopRecording);
    EXPECT_FALSE(gesture.press());

    // Millisecond event times: 2.3 - 2.0 is a hair under 0.3 in binary, still exactly 300 ms.
    gesture.handle(true, 2.0, Phase::idle);
    EXPECT_EQ(gesture.handle(false, 2.3, Phase::recording), Action::stopRecording);
    gesture.handle(true, 4.1, Phase::idle);
    EXPECT_EQ(gesture.handle(false, 4.399, Phase::recording), Action::none);

    // A hold that ends while the speech model is still being prepared cancels.
    gesture.handle(true, 20.0, Phase::idle);
    EXPECT_EQ(gesture.handle(false, 21.0, Phase::preparing), Action::cancel);
}

TEST(DictationShortcutGesture, TapKeepsRecordingUntilTheNextPressAndRelease)
{
    DictationShortcutGesture gesture;
    gesture.handle(true, 10.00, Phase::idle);
    EXPECT_EQ(gesture.handle(false, 10.29, Phase::recording), Action::none);
    EXPECT_EQ(gesture.handle(true, 15.00, Phase::recording), Action::none);
    EXPECT_EQ(gesture.press(), (DictationShortcutGesture::Press{15.00, false}));
    EXPECT_EQ(gesture.handle(false, 15.05, Phase::recording), Action::stopRecording);

    // The second tap while still preparing cancels.
    gesture.handle(true, 30.0, Phase::idle);
    gesture.handle(false, 30.1, Phase::preparing);
    gesture.handle(true, 31.0, Phase::preparing);
    EXPECT_EQ(gesture.handle(false, 31.05, Phase::preparing), Action::cancel);
}

TEST(DictationShortcutGesture, RepeatedStrayAndBusyEventsDoNothing)
{
    DictationShortcutGesture gesture;
    gesture.handle(true, 1.0, Phase::idle);
    EXPECT_EQ(gesture.handle(true, 1.1, Phase::preparing), Action::none); // second press: ignored
    EXPECT_EQ(gesture.press()->time, 1.0);

    gesture.reset(); // the controller reset after a failed start
    EXPECT_EQ(gesture.handle(false, 5.0, Phase::idle), Action::none);
    EXPECT_EQ(gesture.handle(false, 5.0, Phase::recording), Action::none);

    // While transcribing a press is not taken, so neither is its release.
    EXPECT_EQ(gesture.handle(true, 6.0, Phase::transcribing), Action::none);
    EXPECT_FALSE(gesture.press());
    EXPECT_EQ(gesture.handle(false, 7.0, Phase::recording), Action::none);

    // A release after the dictation moved on clears the press and does nothing else.
    gesture.handle(true, 8.0, Phase::idle);
    EXPECT_EQ(gesture.handle(false, 9.0, Phase::refining), Action::none);
    EXPECT_FALSE(gesture.press());
}

TEST(DictationShortcutGesture, InterruptionCancelsOnlyADictationThePressStarted)
{
    DictationShortcutGesture gesture;
    gesture.handle(true, 1.0, Phase::idle);
    EXPECT_TRUE(gesture.interrupt());
    EXPECT_FALSE(gesture.press());

    gesture.handle(true, 2.0, Phase::recording); // second tap of a toggle
    EXPECT_FALSE(gesture.interrupt());
    EXPECT_FALSE(gesture.press());
    EXPECT_FALSE(gesture.interrupt());
}

namespace {

constexpr std::uint32_t ctrl = Shortcut::controlKey;
constexpr std::uint32_t alt = Shortcut::optionKey;
constexpr std::uint32_t shift = Shortcut::shiftKey;
constexpr std::uint32_t super = Shortcut::commandKey;
constexpr std::uint32_t fn = Shortcut::chordFunctionFlag;

} // namespace

TEST(ModifierChordCapture, CompletesTheLargestChordOnFullRelease)
{
    ModifierChordCapture capture;
    auto outcome = capture.modifiersChanged(ctrl);
    EXPECT_EQ(outcome.kind, Kind::holding);
    EXPECT_EQ(outcome.mask, ctrl);
    outcome = capture.modifiersChanged(ctrl | alt);
    EXPECT_EQ(outcome.kind, Kind::chordHeld);
    EXPECT_EQ(outcome.mask, ctrl | alt);
    outcome = capture.modifiersChanged(ctrl); // the peak is still shown
    EXPECT_EQ(outcome.kind, Kind::chordHeld);
    EXPECT_EQ(outcome.mask, ctrl | alt);
    outcome = capture.modifiersChanged(0);
    EXPECT_EQ(outcome.kind, Kind::completed);
    EXPECT_EQ(outcome.shortcut, Shortcut::chord(0x1800));
    EXPECT_EQ(capture.peak(), 0u);

    capture.modifiersChanged(ctrl | alt | super);
    capture.modifiersChanged(ctrl | alt);
    EXPECT_EQ(capture.modifiersChanged(0).shortcut, Shortcut::chord(0x1900));

    capture.modifiersChanged(ctrl | fn);
    EXPECT_EQ(capture.modifiersChanged(0).shortcut, Shortcut::chord(0x1001000));
}

TEST(ModifierChordCapture, EqualSizedSetMovesThePeak)
{
    ModifierChordCapture capture;
    capture.modifiersChanged(ctrl | alt);
    EXPECT_EQ(capture.modifiersChanged(ctrl | shift).mask, ctrl | shift);
    EXPECT_EQ(capture.modifiersChanged(0).shortcut, Shortcut::chord(0x1200));
}

TEST(ModifierChordCapture, SingleModifierOrOrdinaryKeyCompletesNothing)
{
    ModifierChordCapture capture;
    capture.modifiersChanged(ctrl);
    auto outcome = capture.modifiersChanged(0);
    EXPECT_EQ(outcome.kind, Kind::nothing);
    EXPECT_FALSE(outcome.shortcut);

    // After an ordinary key no chord forms until everything was released once.
    capture.modifiersChanged(ctrl | alt);
    capture.ordinaryKeyDown();
    EXPECT_TRUE(capture.usedOrdinaryKey());
    outcome = capture.modifiersChanged(ctrl | alt | shift);
    EXPECT_EQ(outcome.kind, Kind::holding);
    EXPECT_EQ(outcome.mask, ctrl | alt | shift);
    EXPECT_EQ(capture.peak(), 0u);
    EXPECT_EQ(capture.modifiersChanged(0).kind, Kind::nothing);
    EXPECT_FALSE(capture.usedOrdinaryKey());

    capture.modifiersChanged(ctrl | alt);
    EXPECT_EQ(capture.modifiersChanged(0).kind, Kind::completed);

    capture.modifiersChanged(ctrl | alt);
    capture.reset();
    EXPECT_EQ(capture.modifiersChanged(0).kind, Kind::nothing);
}
