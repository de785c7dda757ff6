#include "desktop/GlobalShortcut.h"

#include "HotKeyServiceDouble.h"
#include "ManualClock.h"
#include "ModifierWatcherDouble.h"

#include <QCoreApplication>
#include <gtest/gtest.h>

using namespace talvex;
using test::HotKeyServiceDouble;
using test::ManualClock;
using test::ModifierWatcherDouble;

namespace {

constexpr double base = 1000.0; // the manual clock's start
const Shortcut ctrlAlt = Shortcut::chord(Shortcut::controlKey | Shortcut::optionKey);
const Shortcut f9(101, 0, "F9");

class GlobalShortcutTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        shortcut->setOnEvent([this](bool pressed, double time) {
            log.push_back(QStringLiteral("%1 %2 @%3")
                              .arg(pressed ? "press" : "release")
                              .arg(time, 0, 'f', 2)
                              .arg(clock.now() - base, 0, 'f', 3));
        });
        shortcut->setOnInterrupted(
            [this] { log.push_back(QStringLiteral("interrupted @%1").arg(clock.now() - base, 0, 'f', 3)); });
    }

    void TearDown() override
    {
        shortcut.reset();
        // Cancelled delays finish from the event loop.
        QCoreApplication::processEvents();
    }

    /// Moves the clock to `seconds` after the start, running any delay that falls due.
    void at(double seconds) { clock.advance(base + seconds - clock.now()); }

    std::vector<QString> takeLog() { return std::exchange(log, {}); }

    HotKeyServiceDouble hotKeys;
    ModifierWatcherDouble keyboard;
    ManualClock clock{base};
    std::unique_ptr<GlobalShortcut> shortcut = std::make_unique<GlobalShortcut>(hotKeys, keyboard, clock);
    std::vector<QString> log;
};

using Log = std::vector<QString>;

} // namespace

TEST_F(GlobalShortcutTest, HotKeyReportsEachPressAndReleaseOnce)
{
    ASSERT_TRUE(shortcut->registerShortcut(Shortcut::defaultShortcut()));
    ASSERT_EQ(hotKeys.live().size(), 1u);
    EXPECT_EQ(hotKeys.live()[0].code, 49u);
    EXPECT_EQ(hotKeys.live()[0].modifiers, 0x1200u);
    EXPECT_EQ(hotKeys.live()[0].identifier, (HotKeyID{0x544C5658, 1}));
    EXPECT_EQ(shortcut->activeID(), 1u);

    EXPECT_TRUE(hotKeys.fireLive(true, 5.0));
    EXPECT_TRUE(hotKeys.fireLive(true, 5.1)); // a duplicate press is dropped
    EXPECT_TRUE(shortcut->isDown());
    EXPECT_TRUE(hotKeys.fireLive(false, 5.5));
    EXPECT_TRUE(hotKeys.fireLive(false, 5.6));
    EXPECT_EQ(takeLog(), (Log{"press 5.00 @0.000", "release 5.50 @0.000"}));
}

TEST_F(GlobalShortcutTest, HotKeyEventsOfOthersAndOfOldRegistrationsAreIgnored)
{
    ASSERT_TRUE(shortcut->registerShortcut(Shortcut::defaultShortcut()));
    EXPECT_FALSE(hotKeys.fire(HotKeyID{0x41424344, 1}, true, 1.0)); // foreign signature: not ours
    ASSERT_TRUE(shortcut->registerShortcut(f9));
    EXPECT_TRUE(hotKeys.fire(HotKeyID{GlobalShortcut::signature, 1}, true, 2.0)); // ours, but stale
    EXPECT_TRUE(takeLog().empty());
    // The handler was installed once and the old hot key released.
    EXPECT_EQ(hotKeys.calls.count("installHandler"), 1);
    EXPECT_TRUE(hotKeys.calls.contains("unregister #1"));
    ASSERT_EQ(hotKeys.live().size(), 1u);
    EXPECT_EQ(hotKeys.live()[0].identifier.id, 2u);
}

TEST_F(GlobalShortcutTest, RefusedRegistrationsLeaveTheOldShortcutLive)
{
    ASSERT_TRUE(shortcut->registerShortcut(Shortcut::defaultShortcut()));

    // Editing commands are refused before anything is asked of the system.
    EXPECT_FALSE(shortcut->registerShortcut(Shortcut(9, Shortcut::commandKey, "V")));
    EXPECT_FALSE(shortcut->registerShortcut(Shortcut(9, Shortcut::controlKey, "V")));
    EXPECT_EQ(shortcut->lastIssuedID(), 1u);

    // A refusal by the system still uses up an id.
    hotKeys.refuseNext = true;
    EXPECT_FALSE(shortcut->registerShortcut(f9));
    EXPECT_EQ(shortcut->lastIssuedID(), 2u);

    // A chord whose watch cannot start.
    keyboard.refuseTaps = true;
    EXPECT_FALSE(shortcut->registerShortcut(ctrlAlt));

    EXPECT_EQ(shortcut->registration(), Shortcut::defaultShortcut());
    EXPECT_EQ(shortcut->activeID(), 1u);
    ASSERT_EQ(hotKeys.live().size(), 1u);
    EXPECT_EQ(hotKeys.live()[0].code, 49u);
    hotKeys.fireLive(true, 3.0);
    EXPECT_EQ(takeLog(), (Log{"press 3.00 @0.000"}));

    // The next attempt takes a fresh id.
    keyboard.refuseTaps = false;
    ASSERT_TRUE(shortcut->registerShortcut(f9));
    EXPECT_EQ(shortcut->activeID(), 3u);
    EXPECT_FALSE(shortcut->isDown()); // the new hot key starts released
}

TEST_F(GlobalShortcutTest, NoDisplayOrNoHandlerMeansNoRegistration)
{
    hotKeys.available = false;
    EXPECT_FALSE(shortcut->registerShortcut(f9));
    hotKeys.available = true;
    hotKeys.failInstall = true;
    EXPECT_FALSE(shortcut->registerShortcut(f9));
    EXPECT_EQ(shortcut->lastIssuedID(), 0u);
    EXPECT_FALSE(shortcut->registration());

    hotKeys.failInstall = false;
    EXPECT_TRUE(shortcut->registerShortcut(f9));
    EXPECT_EQ(hotKeys.calls.count("installHandler"), 2);
}

TEST_F(GlobalShortcutTest, SameKeyAndModifiersRegisterNothingNew)
{
    ASSERT_TRUE(shortcut->registerShortcut(Shortcut::defaultShortcut()));
    const int calls = hotKeys.calls.size();
    EXPECT_TRUE(shortcut->registerShortcut(Shortcut(49, 0x1200, "Spacebar")));
    EXPECT_EQ(hotKeys.calls.size(), calls);
    EXPECT_EQ(shortcut->registration()->keyLabel(), "Space");

    ASSERT_TRUE(shortcut->registerShortcut(ctrlAlt));
    EXPECT_TRUE(shortcut->registerShortcut(ctrlAlt));
    EXPECT_EQ(keyboard.tapsCreated, 1);
}

TEST_F(GlobalShortcutTest, SuspendSilencesEverythingWithoutAReport)
{
    ASSERT_TRUE(shortcut->registerShortcut(Shortcut::defaultShortcut()));
    hotKeys.fireLive(true, 1.0);
    const HotKeyID old = hotKeys.live()[0].identifier;
    shortcut->suspend();
    EXPECT_TRUE(hotKeys.live().empty());
    EXPECT_FALSE(shortcut->registration());
    EXPECT_FALSE(shortcut->isDown());
    hotKeys.fire(old, false, 1.5);
    EXPECT_EQ(takeLog(), (Log{"press 1.00 @0.000"}));

    // Registering again after a suspension takes a new hot key even for the same keys.
    ASSERT_TRUE(shortcut->registerShortcut(Shortcut::defaultShortcut()));
    EXPECT_EQ(shortcut->activeID(), 2u);

    // A chord pending its report is forgotten too.
    ASSERT_TRUE(shortcut->registerShortcut(ctrlAlt));
    EXPECT_TRUE(hotKeys.live().empty()); // the hot key went when the chord came
    keyboard.pressModifier(KeyFlags::control, 2.0);
    keyboard.pressModifier(KeyFlags::option, 2.0);
    shortcut->suspend();
    EXPECT_EQ(keyboard.liveTaps(), 0u);
    at(1.0);
    keyboard.releaseModifier(KeyFlags::option, 2.5);
    EXPECT_TRUE(takeLog().empty());
}

TEST_F(GlobalShortcutTest, ChordTappedQuicklyReportsPressAndReleaseTogether)
{
    ASSERT_TRUE(shortcut->registerShortcut(ctrlAlt));
    keyboard.pressModifier(KeyFlags::control, 0.00);
    at(0.05);
    keyboard.pressModifier(KeyFlags::option, 0.05);
    at(0.10);
    keyboard.releaseModifier(KeyFlags::option, 0.10);
    EXPECT_EQ(takeLog(), (Log{"press 0.05 @0.100", "release 0.10 @0.100"}));
    at(1.0); // the cancelled delay reports nothing later
    keyboard.releaseModifier(KeyFlags::control, 1.0);
    EXPECT_TRUE(takeLog().empty());
    EXPECT_EQ(clock.sleepRequests(), (std::vector<double>{0.120}));
}

TEST_F(GlobalShortcutTest, ChordHeldReportsItsPressAfterTheDelayWithTheKeyDownTime)
{
    ASSERT_TRUE(shortcut->registerShortcut(ctrlAlt));
    keyboard.pressModifier(KeyFlags::control, 0.00);
    at(0.05);
    keyboard.pressModifier(KeyFlags::option, 0.05);
    at(0.169);
    EXPECT_TRUE(log.empty());
    at(0.17);
    EXPECT_EQ(takeLog(), (Log{"press 0.05 @0.170"}));
    at(2.0);
    keyboard.releaseModifier(KeyFlags::control, 2.00);
    keyboard.releaseModifier(KeyFlags::option, 2.01);
    EXPECT_EQ(takeLog(), (Log{"release 2.00 @2.000"}));
}

TEST_F(GlobalShortcutTest, KeyDuringChordInterruptsOnlyAReportedPress)
{
    ASSERT_TRUE(shortcut->registerShortcut(ctrlAlt));

    // Before the report: dropped silently.
    keyboard.pressModifier(KeyFlags::control, 0.0);
    keyboard.pressModifier(KeyFlags::option, 0.0);
    at(0.05);
    keyboard.pressKey(0.05);
    at(0.5);
    keyboard.releaseModifier(KeyFlags::option, 0.5);
    EXPECT_TRUE(takeLog().empty());

    // After the report: one interruption and no release.
    at(1.0);
    keyboard.pressModifier(KeyFlags::option, 1.0);
    at(1.2);
    keyboard.pressKey(1.2);
    keyboard.pressKey(1.25);
    keyboard.releaseModifier(KeyFlags::option, 1.3);
    keyboard.releaseModifier(KeyFlags::control, 1.3);
    EXPECT_EQ(takeLog(), (Log{"press 1.00 @1.120", "interrupted @1.200"}));

    // A fresh press of the chord counts again.
    at(2.0);
    keyboard.pressModifier(KeyFlags::option, 2.0);
    keyboard.pressModifier(KeyFlags::control, 2.0);
    at(2.12);
    EXPECT_EQ(takeLog(), (Log{"press 2.00 @2.120"}));
}

TEST_F(GlobalShortcutTest, ExtraModifierInterruptsAndDroppingItIsNoFreshPress)
{
    ASSERT_TRUE(shortcut->registerShortcut(ctrlAlt));
    keyboard.pressModifier(KeyFlags::control, 0.0);
    keyboard.pressModifier(KeyFlags::option, 0.0);
    at(0.2);
    keyboard.pressModifier(KeyFlags::shift, 0.2);
    keyboard.releaseModifier(KeyFlags::shift, 0.3);
    at(1.0);
    keyboard.releaseModifier(KeyFlags::option, 1.0);
    EXPECT_EQ(takeLog(), (Log{"press 0.00 @0.120", "interrupted @0.200"}));

    // Reaching the chord through a superset is no press either.
    keyboard.pressModifier(KeyFlags::shift, 2.0);
    keyboard.pressModifier(KeyFlags::option, 2.0);
    keyboard.releaseModifier(KeyFlags::shift, 2.0);
    at(3.0);
    EXPECT_TRUE(takeLog().empty());
}

TEST_F(GlobalShortcutTest, ChordHeldWhenRegisteredNeedsAFreshPress)
{
    keyboard.holdSilently(KeyFlags::control | KeyFlags::option);
    ASSERT_TRUE(shortcut->registerShortcut(ctrlAlt));
    keyboard.pressModifier(KeyFlags::shift, 0.1);
    keyboard.releaseModifier(KeyFlags::shift, 0.2);
    at(1.0);
    EXPECT_TRUE(log.empty());

    keyboard.releaseModifier(KeyFlags::option, 1.0);
    at(1.5);
    keyboard.pressModifier(KeyFlags::option, 1.5);
    at(1.62);
    EXPECT_EQ(takeLog(), (Log{"press 1.50 @1.620"}));
}

TEST_F(GlobalShortcutTest, StoppedWatchInterruptsAndIsRestarted)
{
    ASSERT_TRUE(shortcut->registerShortcut(ctrlAlt));
    keyboard.pressModifier(KeyFlags::control, 0.0);
    keyboard.pressModifier(KeyFlags::option, 0.0);
    at(0.2);
    keyboard.disableTaps(0.2);
    EXPECT_EQ(takeLog(), (Log{"press 0.00 @0.120", "interrupted @0.200"}));
    EXPECT_EQ(keyboard.enableCalls, 1);
    // The keyboard's state was read back: letting go of the chord reports nothing.
    keyboard.releaseModifier(KeyFlags::option, 0.3);
    EXPECT_TRUE(takeLog().empty());

    // Whoever hears the interruption may let go of the shortcut there and then.
    shortcut->setOnInterrupted([this] { shortcut->suspend(); });
    keyboard.pressModifier(KeyFlags::option, 1.0);
    at(1.2);
    keyboard.disableTaps(1.2);
    EXPECT_EQ(keyboard.liveTaps(), 0u);
    EXPECT_FALSE(shortcut->registration());
    EXPECT_EQ(keyboard.enableCalls, 1);
}

TEST_F(GlobalShortcutTest, SameChordOverAStoppedWatchGetsANewWatch)
{
    ASSERT_TRUE(shortcut->registerShortcut(ctrlAlt));
    keyboard.stopTapsSilently();
    EXPECT_TRUE(shortcut->registerShortcut(ctrlAlt));
    EXPECT_EQ(keyboard.tapsCreated, 2);
    EXPECT_EQ(keyboard.liveTaps(), 1u);
    keyboard.pressModifier(KeyFlags::control, 0.0);
    keyboard.pressModifier(KeyFlags::option, 0.0);
    at(0.12);
    EXPECT_EQ(takeLog(), (Log{"press 0.00 @0.120"}));
}

TEST_F(GlobalShortcutTest, PendingReportDiesWithTheObject)
{
    ASSERT_TRUE(shortcut->registerShortcut(ctrlAlt));
    keyboard.pressModifier(KeyFlags::control, 0.0);
    keyboard.pressModifier(KeyFlags::option, 0.0);
    shortcut.reset();
    QCoreApplication::processEvents();
    at(1.0);
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(clock.pendingSleeps(), 0u);
}

TEST_F(GlobalShortcutTest, NewChordReplacesTheOldWatchAndPendingPress)
{
    ASSERT_TRUE(shortcut->registerShortcut(ctrlAlt));
    keyboard.pressModifier(KeyFlags::control, 0.0);
    keyboard.pressModifier(KeyFlags::option, 0.0);
    ASSERT_TRUE(shortcut->registerShortcut(Shortcut::chord(Shortcut::controlKey | Shortcut::shiftKey)));
    EXPECT_EQ(keyboard.liveTaps(), 1u);
    // Each watch names its chord, for backends that can only ask the system for that one.
    EXPECT_EQ(keyboard.chordsWatched, (std::vector<std::uint32_t>{Shortcut::controlKey | Shortcut::optionKey,
                                                                  Shortcut::controlKey | Shortcut::shiftKey}));
    at(1.0);
    keyboard.pressModifier(KeyFlags::shift, 1.0); // Ctrl+Alt+Shift is not the new chord
    keyboard.releaseModifier(KeyFlags::option, 1.1);
    EXPECT_TRUE(takeLog().empty());
    keyboard.releaseModifier(KeyFlags::shift, 1.2);
    keyboard.pressModifier(KeyFlags::shift, 1.3);
    keyboard.releaseModifier(KeyFlags::shift, 1.35);
    EXPECT_EQ(takeLog(), (Log{"press 1.30 @1.000", "release 1.35 @1.000"}));
}
