// The global shortcut against a real X server: key grabs, XInput 2 modifier watching and the
// GlobalShortcut logic on top, with keys typed through XTest from one client connection.
#include "ManualClock.h"
#include "SteadyClock.h"
#include "X11EventConnection.h"
#include "X11HotKeyService.h"
#include "X11KeyTranslator.h"
#include "X11ModifierWatcher.h"
#include "desktop/GlobalShortcut.h"

#include <QKeyEvent>
#include <QProcess>
#include <QTest>
#include <QWidget>
#include <gtest/gtest.h>
#include <set>
#include <xcb/xcb_keysyms.h>
#include <xcb/xtest.h>
#include <xkbcommon/xkbcommon-keysyms.h>

using namespace talvex;
using namespace talvex::x11;

namespace {

// A guard against hangs only; every wait ends as soon as its event arrives.
constexpr int eventWaitMs = 15000;

/// Types keys through XTest, all from this one connection.
class XTestKeyboard final {
  public:
    XTestKeyboard() : m_connection(connectToDisplay())
    {
        if (m_connection)
            m_symbols.reset(xcb_key_symbols_alloc(m_connection.get()));
    }
    ~XTestKeyboard() { releaseAll(); }

    bool isReady() const { return m_connection && m_symbols; }
    xcb_connection_t *connection() const { return m_connection.get(); }

    xcb_keycode_t keycode(xcb_keysym_t keysym) const
    {
        XcbReply<xcb_keycode_t> codes(xcb_key_symbols_get_keycode(m_symbols.get(), keysym));
        return codes ? codes.get()[0] : 0;
    }

    /// `delayMs` makes the server wait before it takes the event, so its time is later.
    void press(xcb_keysym_t keysym, std::uint32_t delayMs = 0) { send(XCB_KEY_PRESS, keysym, delayMs); }
    void release(xcb_keysym_t keysym, std::uint32_t delayMs = 0) { send(XCB_KEY_RELEASE, keysym, delayMs); }
    void tap(xcb_keysym_t keysym)
    {
        press(keysym);
        release(keysym);
    }

    void releaseAll()
    {
        if (!isReady())
            return;
        const std::set<xcb_keysym_t> held = m_held;
        for (const xcb_keysym_t keysym : held)
            release(keysym);
        sync();
    }

    /// Returns once the server has handled everything sent so far.
    void sync()
    {
        XcbReply<xcb_get_input_focus_reply_t> reply(
            xcb_get_input_focus_reply(m_connection.get(), xcb_get_input_focus(m_connection.get()), nullptr));
    }

    /// The core modifier state of the keyboard now (lock bits included).
    std::uint16_t modifierState()
    {
        xcb_connection_t *c = m_connection.get();
        XcbReply<xcb_query_pointer_reply_t> pointer(
            xcb_query_pointer_reply(c, xcb_query_pointer(c, rootWindow(c)), nullptr));
        return pointer ? pointer->mask : 0;
    }

  private:
    void send(std::uint8_t type, xcb_keysym_t keysym, std::uint32_t delayMs)
    {
        const xcb_keycode_t code = keycode(keysym);
        ASSERT_NE(code, 0) << "no key for keysym " << keysym;
        xcb_test_fake_input(m_connection.get(), type, code, delayMs, XCB_NONE, 0, 0, 0);
        xcb_flush(m_connection.get());
        if (type == XCB_KEY_PRESS)
            m_held.insert(keysym);
        else
            m_held.erase(keysym);
    }

    struct SymbolsDeleter {
        void operator()(xcb_key_symbols_t *symbols) const { xcb_key_symbols_free(symbols); }
    };
    XcbConnection m_connection;
    std::unique_ptr<xcb_key_symbols_t, SymbolsDeleter> m_symbols;
    std::set<xcb_keysym_t> m_held;
};

/// Passes everything to the X11 service and counts what the server delivered before the logic
/// filtered it.
class CountingHotKeys final : public HotKeyService {
  public:
    explicit CountingHotKeys(HotKeyService &inner) : m_inner(inner) {}
    bool isAvailable() override { return m_inner.isAvailable(); }
    bool installHandler(Handler handler) override
    {
        return m_inner.installHandler([this, handler](const HotKeyEvent &event) {
            ++(event.pressed ? rawPresses : rawReleases);
            return handler(event);
        });
    }
    std::unique_ptr<Registration> registerHotKey(std::uint32_t code, std::uint32_t modifiers,
                                                 HotKeyID id) override
    {
        return m_inner.registerHotKey(code, modifiers, id);
    }
    int rawPresses = 0;
    int rawReleases = 0;

  private:
    HotKeyService &m_inner;
};

/// Passes everything to the X11 watcher and keeps what it reported.
class RecordingWatcher final : public ModifierWatcher {
  public:
    struct Seen {
        ModifierEvent event;
        double receivedAt; // SteadyClock seconds
    };
    explicit RecordingWatcher(ModifierWatcher &inner) : m_inner(inner) {}
    std::unique_ptr<Tap> createTap(Handler handler) override
    {
        return m_inner.createTap([this, handler](const ModifierEvent &event) {
            seen.push_back({event, SteadyClock::monotonicSeconds()});
            handler(event);
        });
    }
    std::uint32_t currentModifierFlags() override { return m_inner.currentModifierFlags(); }

    /// The last event at which exactly `flags` became held.
    std::optional<Seen> lastChangeTo(std::uint32_t flags) const
    {
        for (auto it = seen.rbegin(); it != seen.rend(); ++it) {
            if (it->event.type == ModifierEvent::Type::flagsChanged && it->event.modifierFlags == flags)
                return *it;
        }
        return std::nullopt;
    }
    std::vector<Seen> seen;

  private:
    ModifierWatcher &m_inner;
};

struct Reported {
    QString what; // "press", "release", "interrupted"
    double time;
    double reportedAt; // SteadyClock seconds
};

XTestKeyboard &keyboard()
{
    static XTestKeyboard instance;
    return instance;
}

/// One shortcut stack on its own X connection; `clock` drives the chord delay.
class ShortcutStack {
  public:
    explicit ShortcutStack(Clock &clock)
        : connection(X11EventConnection::open()), x11HotKeys(connection), x11Watcher(connection),
          hotKeys(x11HotKeys), watcher(x11Watcher), shortcut(hotKeys, watcher, clock)
    {
        shortcut.setOnEvent([this](bool pressed, double time) {
            reported.push_back({pressed ? "press" : "release", time, SteadyClock::monotonicSeconds()});
        });
        shortcut.setOnInterrupted([this] {
            reported.push_back({"interrupted", 0, SteadyClock::monotonicSeconds()});
        });
    }

    bool waitForReports(std::size_t count)
    {
        return QTest::qWaitFor([&] { return reported.size() >= count; }, eventWaitMs);
    }

    std::vector<QString> kinds() const
    {
        std::vector<QString> result;
        for (const Reported &entry : reported)
            result.push_back(entry.what);
        return result;
    }

    std::shared_ptr<X11EventConnection> connection;
    X11HotKeyService x11HotKeys;
    X11ModifierWatcher x11Watcher;
    CountingHotKeys hotKeys;
    RecordingWatcher watcher;
    GlobalShortcut shortcut;
    std::vector<Reported> reported;
};

using Kinds = std::vector<QString>;

const Shortcut ctrlAlt = Shortcut::chord(Shortcut::controlKey | Shortcut::optionKey);

class X11ShortcutTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        ASSERT_TRUE(keyboard().isReady()) << "no X display";
        ASSERT_TRUE(stack.connection);
    }
    void TearDown() override { keyboard().releaseAll(); }

    void typeDefaultShortcut(std::uint32_t releaseDelayMs = 0)
    {
        keyboard().press(XKB_KEY_Control_L);
        keyboard().press(XKB_KEY_Shift_L);
        keyboard().press(XKB_KEY_space);
        keyboard().release(XKB_KEY_space, releaseDelayMs);
        keyboard().release(XKB_KEY_Shift_L);
        keyboard().release(XKB_KEY_Control_L);
    }

    void tapChord()
    {
        keyboard().press(XKB_KEY_Control_L);
        keyboard().press(XKB_KEY_Alt_L);
        keyboard().release(XKB_KEY_Alt_L);
        keyboard().release(XKB_KEY_Control_L);
    }

    test::ManualClock manualClock;
    ShortcutStack stack{manualClock};
};

} // namespace

TEST_F(X11ShortcutTest, HotKeyPressAndReleaseArriveOnceWithIncreasingTimes)
{
    ASSERT_TRUE(stack.shortcut.registerShortcut(Shortcut::defaultShortcut()));
    typeDefaultShortcut(20);
    // The modifiers let go before the key: the release still counts.
    keyboard().press(XKB_KEY_Control_L, 20);
    keyboard().press(XKB_KEY_Shift_L);
    keyboard().press(XKB_KEY_space);
    keyboard().release(XKB_KEY_Control_L, 20);
    keyboard().release(XKB_KEY_Shift_L);
    keyboard().release(XKB_KEY_space);
    ASSERT_TRUE(stack.waitForReports(4));
    keyboard().sync();
    QCoreApplication::processEvents();

    EXPECT_EQ(stack.kinds(), (Kinds{"press", "release", "press", "release"}));
    for (std::size_t i = 1; i < stack.reported.size(); ++i)
        EXPECT_GT(stack.reported[i].time, stack.reported[i - 1].time) << i;
}

TEST_F(X11ShortcutTest, HotKeyFiresWithNumLockAndCapsLockOn)
{
    ASSERT_TRUE(stack.shortcut.registerShortcut(Shortcut::defaultShortcut()));
    keyboard().tap(XKB_KEY_Num_Lock);
    keyboard().tap(XKB_KEY_Caps_Lock);
    keyboard().sync();
    const std::uint16_t locks = keyboard().modifierState();
    EXPECT_TRUE(locks & XCB_MOD_MASK_LOCK);
    EXPECT_TRUE(locks & stack.connection->keys().numLockMask());

    typeDefaultShortcut();
    const bool arrived = stack.waitForReports(2);
    keyboard().tap(XKB_KEY_Num_Lock);
    keyboard().tap(XKB_KEY_Caps_Lock);
    keyboard().sync();
    ASSERT_TRUE(arrived);
    EXPECT_EQ(stack.kinds(), (Kinds{"press", "release"}));
    EXPECT_FALSE(keyboard().modifierState() & (XCB_MOD_MASK_LOCK | stack.connection->keys().numLockMask()));
}

TEST_F(X11ShortcutTest, HeldKeyWithAutoRepeatGivesOnePress)
{
    ASSERT_TRUE(stack.connection->hasDetectableAutoRepeat());
    ASSERT_TRUE(stack.shortcut.registerShortcut(Shortcut::defaultShortcut()));
    keyboard().press(XKB_KEY_Control_L);
    keyboard().press(XKB_KEY_Shift_L);
    keyboard().press(XKB_KEY_space);
    // The server repeats the held key: wait until it has, several times.
    ASSERT_TRUE(QTest::qWaitFor([&] { return stack.hotKeys.rawPresses >= 3; }, eventWaitMs));
    EXPECT_EQ(stack.hotKeys.rawReleases, 0);
    EXPECT_EQ(stack.kinds(), (Kinds{"press"}));

    keyboard().release(XKB_KEY_space);
    ASSERT_TRUE(stack.waitForReports(2));
    EXPECT_EQ(stack.kinds(), (Kinds{"press", "release"}));
    EXPECT_EQ(stack.hotKeys.rawReleases, 1);
}

TEST_F(X11ShortcutTest, KeyGrabbedByAnotherClientIsRefusedAndNothingIsLeftGrabbed)
{
    const Shortcut f9(101, 0, "F9");
    ASSERT_TRUE(stack.shortcut.registerShortcut(f9));

    // Another program holds only the Num Lock variant: our first grabs succeed, the last fails.
    XcbConnection other = connectToDisplay();
    ASSERT_TRUE(other);
    const xcb_window_t root = rootWindow(other.get());
    const xcb_keycode_t space = keyboard().keycode(XKB_KEY_space);
    const std::uint16_t ctrlShift = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT;
    const std::uint16_t numLock = stack.connection->keys().numLockMask();
    ASSERT_NE(numLock, 0);
    const auto grab = [&](std::uint16_t modifiers) {
        XcbReply<xcb_generic_error_t> error(
            xcb_request_check(other.get(), xcb_grab_key_checked(other.get(), 1, root, modifiers, space,
                                                                XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)));
        return !error;
    };
    ASSERT_TRUE(grab(ctrlShift | numLock | XCB_MOD_MASK_LOCK));
    EXPECT_FALSE(stack.shortcut.registerShortcut(Shortcut::defaultShortcut()));
    EXPECT_EQ(stack.shortcut.registration(), f9);

    // Had any of our grabs stayed, the other program could not take these.
    EXPECT_TRUE(grab(ctrlShift));
    EXPECT_TRUE(grab(ctrlShift | numLock));
    EXPECT_TRUE(grab(ctrlShift | XCB_MOD_MASK_LOCK));
    EXPECT_FALSE(stack.shortcut.registerShortcut(Shortcut::defaultShortcut()));

    // The old shortcut still works.
    keyboard().tap(XKB_KEY_F9);
    ASSERT_TRUE(stack.waitForReports(2));
    EXPECT_EQ(stack.kinds(), (Kinds{"press", "release"}));

    // Once the other program lets go, the shortcut is ours.
    other.reset();
    keyboard().sync();
    EXPECT_TRUE(stack.shortcut.registerShortcut(Shortcut::defaultShortcut()));
}

TEST_F(X11ShortcutTest, HeldChordReportsItsPressAfterTheDelayWithTheKeyDownTime)
{
    SteadyClock clock;
    ShortcutStack steady(clock);
    ASSERT_TRUE(steady.shortcut.registerShortcut(ctrlAlt));
    keyboard().press(XKB_KEY_Control_L);
    keyboard().press(XKB_KEY_Alt_L);
    ASSERT_TRUE(steady.waitForReports(1));
    const auto keyDown = steady.watcher.lastChangeTo(KeyFlags::control | KeyFlags::option);
    ASSERT_TRUE(keyDown);
    EXPECT_EQ(steady.reported[0].what, "press");
    EXPECT_EQ(steady.reported[0].time, keyDown->event.time);
    // A sleep never ends early, so this bound cannot flake.
    EXPECT_GE(steady.reported[0].reportedAt - keyDown->receivedAt, GlobalShortcut::chordPressDelay - 1e-3);

    keyboard().release(XKB_KEY_Control_L);
    ASSERT_TRUE(steady.waitForReports(2));
    const auto released = steady.watcher.lastChangeTo(KeyFlags::option);
    ASSERT_TRUE(released);
    EXPECT_EQ(steady.reported[1].what, "release");
    EXPECT_EQ(steady.reported[1].time, released->event.time);
}

TEST_F(X11ShortcutTest, QuickChordTapReportsPressAndReleaseTogether)
{
    // The manual clock never reaches the delay: the press can only come with the release.
    ASSERT_TRUE(stack.shortcut.registerShortcut(ctrlAlt));
    tapChord();
    ASSERT_TRUE(stack.waitForReports(2));
    EXPECT_EQ(stack.kinds(), (Kinds{"press", "release"}));
    const auto keyDown = stack.watcher.lastChangeTo(KeyFlags::control | KeyFlags::option);
    const auto keyUp = stack.watcher.lastChangeTo(KeyFlags::control);
    ASSERT_TRUE(keyDown && keyUp);
    EXPECT_EQ(stack.reported[0].time, keyDown->event.time);
    EXPECT_EQ(stack.reported[1].time, keyUp->event.time);
    EXPECT_GE(stack.reported[1].time, stack.reported[0].time);
}

TEST_F(X11ShortcutTest, KeyTypedDuringAHeldChordInterrupts)
{
    ASSERT_TRUE(stack.shortcut.registerShortcut(ctrlAlt));
    keyboard().press(XKB_KEY_Control_L);
    keyboard().press(XKB_KEY_Alt_L);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return stack.watcher.lastChangeTo(KeyFlags::control | KeyFlags::option).has_value(); },
        eventWaitMs));
    manualClock.advance(GlobalShortcut::chordPressDelay);
    EXPECT_EQ(stack.kinds(), (Kinds{"press"}));

    keyboard().tap(XKB_KEY_t);
    ASSERT_TRUE(stack.waitForReports(2));
    keyboard().release(XKB_KEY_Alt_L);
    keyboard().release(XKB_KEY_Control_L);
    // A fresh tap of the chord is the marker that everything before it was delivered.
    tapChord();
    ASSERT_TRUE(stack.waitForReports(4));
    EXPECT_EQ(stack.kinds(), (Kinds{"press", "interrupted", "press", "release"}));
}

TEST_F(X11ShortcutTest, NothingArrivesWhileSuspended)
{
    ASSERT_TRUE(stack.shortcut.registerShortcut(Shortcut::defaultShortcut()));
    stack.shortcut.suspend();
    typeDefaultShortcut();
    keyboard().sync();
    ASSERT_TRUE(stack.shortcut.registerShortcut(Shortcut::defaultShortcut()));
    typeDefaultShortcut();
    ASSERT_TRUE(stack.waitForReports(2));
    EXPECT_EQ(stack.hotKeys.rawPresses, 1);

    ASSERT_TRUE(stack.shortcut.registerShortcut(ctrlAlt));
    stack.shortcut.suspend();
    tapChord();
    keyboard().sync();
    ASSERT_TRUE(stack.shortcut.registerShortcut(ctrlAlt));
    tapChord();
    ASSERT_TRUE(stack.waitForReports(4));
    keyboard().sync();
    QCoreApplication::processEvents();
    EXPECT_EQ(stack.kinds(), (Kinds{"press", "release", "press", "release"}));
}

TEST_F(X11ShortcutTest, KeyEventsTranslateIntoTheShortcutModel)
{
    const X11KeyTranslation &keys = stack.connection->keys();
    const std::uint16_t super = *keys.xModifiers(Shortcut::commandKey);
    const std::uint16_t alt = *keys.xModifiers(Shortcut::optionKey);
    EXPECT_NE(super, alt);
    EXPECT_EQ(keys.xModifiers(0x1B00), XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_SHIFT | super | alt);
    EXPECT_FALSE(keys.xModifiers(Shortcut::chordFunctionFlag | Shortcut::controlKey));

    const auto shortcutOf = [&](xcb_keysym_t keysym, std::uint16_t state) {
        const KeyEvent event = keys.keyEvent(KeyEvent::Type::keyDown, keyboard().keycode(keysym), state, 1.0);
        const auto shortcut = Shortcut::fromEvent(event);
        return shortcut ? shortcut->displayText() : QStringLiteral("none");
    };
    const std::uint16_t ctrl = XCB_MOD_MASK_CONTROL, shift = XCB_MOD_MASK_SHIFT;
    EXPECT_EQ(shortcutOf(XKB_KEY_space, ctrl | shift), "Ctrl+Shift+Space");
    EXPECT_EQ(shortcutOf(XKB_KEY_k, super | shift | XCB_MOD_MASK_LOCK), "Shift+Super+K");
    EXPECT_EQ(shortcutOf(XKB_KEY_d, ctrl | alt | stack.connection->keys().numLockMask()), "Ctrl+Alt+D");
    EXPECT_EQ(shortcutOf(XKB_KEY_F9, 0), "F9");
    EXPECT_EQ(shortcutOf(XKB_KEY_Return, ctrl), "Ctrl+Return");
    EXPECT_EQ(shortcutOf(XKB_KEY_slash, alt), "Alt+/");
    EXPECT_EQ(shortcutOf(XKB_KEY_k, 0), "none");
    EXPECT_EQ(
        Shortcut::fromEvent(keys.keyEvent(KeyEvent::Type::keyDown, keyboard().keycode(XKB_KEY_v), ctrl, 1.0))
            ->reservedForEditing(),
        true);

    // Codes are positional, labels follow the layout: on a German layout the key at Y types Z.
    const xcb_keycode_t yPosition = keyboard().keycode(XKB_KEY_y);
    ASSERT_EQ(QProcess::execute("setxkbmap", {"de"}), 0);
    const bool changed =
        QTest::qWaitFor([&] { return keys.characters(yPosition) == QStringLiteral("z"); }, eventWaitMs);
    const KeyEvent german = keys.keyEvent(KeyEvent::Type::keyDown, yPosition, ctrl, 1.0);
    QProcess::execute("setxkbmap", {"us"});
    const bool restored =
        QTest::qWaitFor([&] { return keys.characters(yPosition) == QStringLiteral("y"); }, eventWaitMs);
    ASSERT_TRUE(changed);
    EXPECT_TRUE(restored);
    EXPECT_EQ(Shortcut::fromEvent(german), Shortcut(16, Shortcut::controlKey, "Z"));
}

namespace {

/// A window that keeps the key events Qt gives it, translated.
class KeyRecordingWindow final : public QWidget {
  public:
    explicit KeyRecordingWindow(const KeyTranslator &translator) : m_translator(translator)
    {
        setFocusPolicy(Qt::StrongFocus);
        resize(200, 100);
    }
    std::vector<KeyEvent> events;

  protected:
    void keyPressEvent(QKeyEvent *event) override { record(event, true); }
    void keyReleaseEvent(QKeyEvent *event) override { record(event, false); }

  private:
    void record(QKeyEvent *event, bool pressed)
    {
        events.push_back(m_translator.translate(pressed, event->nativeScanCode(), event->nativeModifiers(),
                                                event->isAutoRepeat(), 0));
    }
    const KeyTranslator &m_translator;
};

} // namespace

TEST_F(X11ShortcutTest, KeysTypedIntoOurWindowTranslateAsTheyArePressed)
{
    X11KeyTranslator translator(stack.connection);
    KeyRecordingWindow window(translator);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window, eventWaitMs));

    keyboard().press(XKB_KEY_Control_L);
    keyboard().press(XKB_KEY_Alt_L);
    keyboard().tap(XKB_KEY_k);
    keyboard().release(XKB_KEY_Alt_L);
    keyboard().release(XKB_KEY_Control_L);
    ASSERT_TRUE(QTest::qWaitFor([&] { return window.events.size() >= 6; }, eventWaitMs));

    using Type = KeyEvent::Type;
    const std::uint32_t ctrl = KeyFlags::control, alt = KeyFlags::option;
    const std::vector<std::pair<Type, std::uint32_t>> expected = {
        {Type::flagsChanged, ctrl}, {Type::flagsChanged, ctrl | alt}, {Type::keyDown, ctrl | alt},
        {Type::keyUp, ctrl | alt},  {Type::flagsChanged, ctrl},       {Type::flagsChanged, 0},
    };
    ASSERT_EQ(window.events.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(window.events[i].type, expected[i].first) << i;
        EXPECT_EQ(window.events[i].modifierFlags, expected[i].second) << i;
    }
    EXPECT_EQ(Shortcut::fromEvent(window.events[2]), Shortcut(40, 0x1800, "K"));
    EXPECT_EQ(Shortcut::chordModifiers(window.events[1].modifierFlags), 0x1800u);
}
