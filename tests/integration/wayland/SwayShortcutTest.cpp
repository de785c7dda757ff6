// The global shortcut through sway's own key bindings: the real compositor, our IPC session, the
// GlobalShortcut logic on top, and keys typed through a virtual keyboard.
#include "SteadyClock.h"
#include "SwayHotKeyService.h"
#include "SwayIpc.h"
#include "SwayModifierWatcher.h"
#include "SwaySession.h"
#include "WaylandTestKeyboard.h"
#include "desktop/GlobalShortcut.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <gtest/gtest.h>

using namespace talvex;
using namespace talvex::wayland;

namespace {

constexpr int eventWaitMs = 15000; // a guard against hangs only
constexpr std::uint32_t spaceCode = 49;
constexpr std::uint32_t uCode = 32;
constexpr std::uint32_t controlShift = Shortcut::controlKey | Shortcut::shiftKey;
constexpr std::uint32_t controlAlt = Shortcut::controlKey | Shortcut::optionKey;

test::WaylandTestKeyboard &keyboard()
{
    static test::WaylandTestKeyboard instance;
    return instance;
}

QString stateFile()
{
    return QDir(qEnvironmentVariable("TALVEX_TEST_TMP")).filePath(QStringLiteral("sway-bindings.json"));
}

XkbKeymap usKeymap()
{
    return *XkbKeymap::fromNames(QStringLiteral("us"));
}

/// Whether sway has a press binding on `combination` now. Removing it is the only way IPC can tell,
/// so a binding that was there is put back as a plain no-op.
bool swayBinds(const QString &combination)
{
    auto ipc = SwayIpc::connect(SwayIpc::socketPath());
    if (!ipc)
        return false;
    const auto removed = ipc->runCommand(QStringLiteral("unbindcode ") + combination);
    const bool bound = !removed.empty() && removed.front().first;
    if (bound)
        ipc->runCommand(QStringLiteral("bindcode --no-warn %1 nop put back by the test").arg(combination));
    return bound;
}

/// One shortcut stack on sway: session, services and the logic.
class SwayStack {
  public:
    SwayStack()
        : session(SwaySession::open(usKeymap(), SwayIpc::socketPath(), stateFile())), hotKeys(session.get()),
          watcher(session.get()), shortcut(hotKeys, watcher, clock)
    {
        shortcut.setOnEvent([this](bool pressed, double) { reported << (pressed ? "press" : "release"); });
        shortcut.setOnInterrupted([this] { reported << "interrupted"; });
    }

    bool waitForReports(qsizetype count)
    {
        return QTest::qWaitFor([&] { return reported.size() >= count; }, eventWaitMs);
    }

    std::unique_ptr<SwaySession> session;
    SwayHotKeyService hotKeys;
    SwayModifierWatcher watcher;
    SteadyClock clock;
    GlobalShortcut shortcut;
    QStringList reported;
};

class SwayShortcutTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(keyboard().isReady()) << "no virtual keyboard in sway";
        stack = std::make_unique<SwayStack>();
        ASSERT_TRUE(stack->session) << "sway's IPC socket does not answer";
    }
    void TearDown() override
    {
        keyboard().releaseAll();
        stack.reset();
    }

    std::unique_ptr<SwayStack> stack;
};

struct HotKeyCase {
    const char *name;
    std::vector<std::uint32_t> releaseOrder;
};

TEST_F(SwayShortcutTest, HotKeyReportsOnePressAndOneReleaseWhicheverKeyIsLetGoFirst)
{
    const std::vector<HotKeyCase> cases = {
        {"key first", {XKB_KEY_space, XKB_KEY_Shift_L, XKB_KEY_Control_L}},
        {"modifiers first", {XKB_KEY_Control_L, XKB_KEY_Shift_L, XKB_KEY_space}},
        {"one modifier, then the key", {XKB_KEY_Shift_L, XKB_KEY_space, XKB_KEY_Control_L}},
    };
    ASSERT_TRUE(stack->shortcut.registerShortcut(Shortcut(spaceCode, controlShift, QStringLiteral("Space"))));
    for (const HotKeyCase &c : cases) {
        SCOPED_TRACE(c.name);
        stack->reported.clear();
        for (const std::uint32_t key : {XKB_KEY_Control_L, XKB_KEY_Shift_L, XKB_KEY_space})
            keyboard().press(key);
        ASSERT_TRUE(stack->waitForReports(1));
        for (const std::uint32_t key : c.releaseOrder)
            keyboard().release(key);
        ASSERT_TRUE(stack->waitForReports(2));
        EXPECT_EQ(stack->reported, QStringList({"press", "release"}));
        EXPECT_FALSE(stack->shortcut.isDown());
    }
}

struct ChordCase {
    const char *name;
    std::vector<std::uint32_t> pressOrder;
    std::uint32_t releasedFirst;
};

TEST_F(SwayShortcutTest, ChordIsReportedWhicheverModifierCompletesOrEndsIt)
{
    const std::vector<ChordCase> cases = {
        {"Ctrl then Alt, Alt up", {XKB_KEY_Control_L, XKB_KEY_Alt_L}, XKB_KEY_Alt_L},
        {"Alt then Ctrl, Alt up", {XKB_KEY_Alt_L, XKB_KEY_Control_L}, XKB_KEY_Alt_L},
        {"right Ctrl then Alt, Ctrl up", {XKB_KEY_Control_R, XKB_KEY_Alt_L}, XKB_KEY_Control_R},
    };
    ASSERT_TRUE(stack->shortcut.registerShortcut(Shortcut::chord(controlAlt)));
    for (const ChordCase &c : cases) {
        SCOPED_TRACE(c.name);
        stack->reported.clear();
        for (const std::uint32_t key : c.pressOrder)
            keyboard().press(key);
        // Held: the press comes once the chord delay has passed, before any release.
        ASSERT_TRUE(stack->waitForReports(1));
        keyboard().release(c.releasedFirst);
        ASSERT_TRUE(stack->waitForReports(2));
        keyboard().releaseAll();
        EXPECT_EQ(stack->reported, QStringList({"press", "release"}));
    }

    // A tap shorter than the delay: press and release together at the release.
    stack->reported.clear();
    keyboard().press(XKB_KEY_Control_L);
    keyboard().press(XKB_KEY_Alt_L);
    keyboard().release(XKB_KEY_Alt_L);
    keyboard().release(XKB_KEY_Control_L);
    ASSERT_TRUE(stack->waitForReports(2));
    EXPECT_EQ(stack->reported, QStringList({"press", "release"}));
}

TEST_F(SwayShortcutTest, AKeyTypedDuringTheChordInterruptsItAtTheNextCompletion)
{
    ASSERT_TRUE(stack->shortcut.registerShortcut(Shortcut::chord(controlAlt)));
    keyboard().press(XKB_KEY_Control_L);
    keyboard().press(XKB_KEY_Alt_L);
    ASSERT_TRUE(stack->waitForReports(1));
    keyboard().tap(XKB_KEY_t); // Ctrl+Alt+T: sway forgets the chord's release
    keyboard().releaseAll();
    keyboard().press(XKB_KEY_Control_L);
    keyboard().press(XKB_KEY_Alt_L);
    ASSERT_TRUE(stack->waitForReports(3));
    keyboard().releaseAll();
    ASSERT_TRUE(stack->waitForReports(4));
    EXPECT_EQ(stack->reported, QStringList({"press", "interrupted", "press", "release"}));
}

TEST_F(SwayShortcutTest, ACombinationTheUserBoundIsRefusedAndKeepsWorking)
{
    const QString mark = qEnvironmentVariable("TALVEX_SWAY_USER_MARK");
    ASSERT_FALSE(mark.isEmpty()) << "run under scripts/with-sway";
    QFile::remove(mark);
    EXPECT_FALSE(stack->shortcut.registerShortcut(Shortcut(uCode, controlAlt, QStringLiteral("U"))));
    EXPECT_FALSE(stack->shortcut.registration().has_value());

    keyboard().press(XKB_KEY_Control_L);
    keyboard().press(XKB_KEY_Alt_L);
    keyboard().tap(XKB_KEY_u);
    keyboard().releaseAll();
    EXPECT_TRUE(QTest::qWaitFor([&] { return QFile::exists(mark); }, eventWaitMs))
        << "the user's own Ctrl+Alt+U binding no longer runs";
    EXPECT_TRUE(stack->reported.isEmpty());
}

TEST_F(SwayShortcutTest, BindingsGoWithTheRegistrationAndWithTheSession)
{
    ASSERT_TRUE(stack->shortcut.registerShortcut(Shortcut(spaceCode, controlShift, QStringLiteral("Space"))));
    ASSERT_TRUE(stack->shortcut.registerShortcut(Shortcut::chord(controlAlt)));
    EXPECT_FALSE(swayBinds(QStringLiteral("Ctrl+Shift+65"))) << "the replaced hot key stayed bound";
    stack.reset();
    EXPECT_FALSE(swayBinds(QStringLiteral("Ctrl+64"))) << "the chord stayed bound after the end";
    EXPECT_FALSE(swayBinds(QStringLiteral("Mod1+37")));
}

TEST_F(SwayShortcutTest, LeftoversOfAKilledTalvexAreRemovedAtStart)
{
    stack.reset();
    // What a killed Talvex leaves: its bindings in sway and its record of them.
    auto ipc = SwayIpc::connect(SwayIpc::socketPath());
    ASSERT_TRUE(ipc);
    const SwayBinding left{controlShift, 65, false};
    const SwayMarker theirs{999999, SwayMarker::Kind::hotKey, GlobalShortcut::signature, 1, true};
    const auto bound = ipc->runCommand(SwayBindings::bindCommand(left, theirs));
    ASSERT_TRUE(!bound.empty() && bound.front().first);
    QFile record(stateFile());
    ASSERT_TRUE(record.open(QIODevice::WriteOnly));
    record.write(
        QJsonDocument(QJsonObject{{"socket", SwayIpc::socketPath()},
                                  {"bindings", QJsonArray{QJsonObject{{"modifiers", int(controlShift)},
                                                                      {"keycode", 65},
                                                                      {"release", false}}}}})
            .toJson());
    record.close();

    stack = std::make_unique<SwayStack>();
    ASSERT_TRUE(stack->session);
    EXPECT_FALSE(swayBinds(QStringLiteral("Ctrl+Shift+65")));
    EXPECT_TRUE(stack->shortcut.registerShortcut(Shortcut(spaceCode, controlShift, QStringLiteral("Space"))))
        << "the combination is free again";
}

TEST_F(SwayShortcutTest, BindingsComeBackAfterSwayReloadsItsConfiguration)
{
    ASSERT_TRUE(stack->shortcut.registerShortcut(Shortcut(spaceCode, controlShift, QStringLiteral("Space"))));
    auto ipc = SwayIpc::connect(SwayIpc::socketPath());
    ASSERT_TRUE(ipc);
    const auto reloaded = ipc->runCommand(QStringLiteral("reload"));
    ASSERT_TRUE(!reloaded.empty() && reloaded.front().first);
    // The session puts the bindings back when sway announces the reload; until then keys pass.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            keyboard().press(XKB_KEY_Control_L);
            keyboard().press(XKB_KEY_Shift_L);
            keyboard().tap(XKB_KEY_space);
            keyboard().releaseAll();
            return QTest::qWaitFor([&] { return stack->reported.size() >= 2; }, 200);
        },
        eventWaitMs));
    EXPECT_EQ(stack->reported.mid(0, 2), QStringList({"press", "release"}));
}

} // namespace
