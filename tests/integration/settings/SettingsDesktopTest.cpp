// The settings window on the private desktop over the real backends. Keys typed through XTest into
// the window record a shortcut that the global grab then watches; a key another program holds is
// refused; a screen reader finds the controls by name and role, and edits made through them reach
// the library file.
#include "AtspiClient.h"
#include "DictationHarness.h"
#include "GeneralSettingsTab.h"
#include "LinuxTestServices.h"
#include "SettingsWindow.h"
#include "ShortcutRecorderRow.h"
#include "TalvexSettings.h"
#include "X11EventConnection.h"
#include "X11KeyTranslation.h"
#include "Xcb.h"
#include "core/DictationController.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>
#include <unistd.h>
#include <xcb/xcb.h>
#include <xkbcommon/xkbcommon-keysyms.h>

using namespace talvex;
using namespace talvex::test;
using e2e::waitFor;

inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace {

constexpr auto eventWait = std::chrono::seconds(20);
// Loading the speech model on a busy machine is the slowest step.
constexpr auto speechWait = std::chrono::seconds(90);

using Keys = std::vector<std::uint32_t>;
const Keys ctrlShiftSpace{XKB_KEY_Control_L, XKB_KEY_Shift_L, XKB_KEY_space};
const Keys ctrlAltD{XKB_KEY_Control_L, XKB_KEY_Alt_L, XKB_KEY_d};
const Keys ctrlAlt{XKB_KEY_Control_L, XKB_KEY_Alt_L};

std::optional<Library> readLibrary(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return Library::read(file.readAll());
}

class SettingsDesktopTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { services = LinuxTestServices::open(); }
    static void TearDownTestSuite() { services.reset(); }

    void SetUp() override
    {
        ASSERT_TRUE(services) << "no X display";
        ASSERT_TRUE(keys.isReady());
        controller = std::make_unique<DictationController>(services->controllerServices(libraryPath()));
        controller->activate();
        ASSERT_TRUE(controller->shortcutReady());
        SettingsServices settingsServices;
        settingsServices.keys = &services->keys();
        window = std::make_unique<SettingsWindow>(*controller, settingsServices);
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window->window(), 20000));
    }

    void TearDown() override
    {
        keys.releaseAll();
        window.reset();
        controller.reset();
    }

    QString libraryPath() const { return m_data.filePath(QStringLiteral("Talvex/Library.json")); }
    Shortcut storedShortcut() const
    {
        const auto library = readLibrary(libraryPath());
        return library ? library->preferences.shortcutKey : Shortcut::defaultShortcut();
    }

    /// Waits until the library file holds preferences for which `holds` is true.
    bool waitForStored(const std::function<bool(const Preferences &)> &holds) const
    {
        return waitFor(
            [&] {
                const auto library = readLibrary(libraryPath());
                return library && holds(library->preferences);
            },
            eventWait);
    }

    const ShortcutRecorder &recorder() const { return window->window()->general().shortcutRow().recorder(); }

    void clickRecord()
    {
        for (QAbstractButton *button : window->window()->findChildren<QAbstractButton *>())
            if (button->text() == QStringLiteral("Record Shortcut\u2026") && button->isVisible())
                button->click();
        ASSERT_TRUE(recorder().isRecording());
    }

    void press(const Keys &shortcut)
    {
        for (const std::uint32_t key : shortcut)
            keys.press(key);
    }
    void release(const Keys &shortcut)
    {
        for (auto key = shortcut.rbegin(); key != shortcut.rend(); ++key)
            keys.release(*key);
    }

    /// With the settings window closed: `unused` reaches nobody, and holding `shortcut` starts a
    /// real dictation (the microphone records), counted as exactly one press.
    void expectDictationStartsWith(const Keys &shortcut, const std::optional<Keys> &unused)
    {
        window->window()->close();
        ASSERT_TRUE(
            waitFor([&] { return controller->speechStatus() == "Ready on this computer"; }, speechWait))
            << controller->speechStatus().toStdString();
        const qint64 presses = controller->shortcutPresses();
        if (unused) {
            press(*unused);
            release(*unused);
        }
        press(shortcut);
        const bool recording = waitFor([&] { return controller->phase() == Phase::recording; }, speechWait);
        const qint64 counted = controller->shortcutPresses() - presses;
        controller->cancel();
        release(shortcut);
        ASSERT_TRUE(recording) << controller->message().value_or("no message").toStdString();
        EXPECT_EQ(counted, 1) << "only the recorded shortcut reaches the controller";
    }

    static inline std::unique_ptr<LinuxTestServices> services;
    e2e::XTestKeyboard keys;
    std::unique_ptr<DictationController> controller;
    std::unique_ptr<SettingsWindow> window;

  private:
    QTemporaryDir m_data;
};

} // namespace

TEST_F(SettingsDesktopTest, TypedCombinationIsStoredAndThenStartsADictation)
{
    clickRecord();
    press(ctrlAltD);
    keys.release(XKB_KEY_d);
    ASSERT_TRUE(waitFor([&] { return storedShortcut() == Shortcut(2, 0x1800, "D"); }, eventWait))
        << recorder().instruction().toStdString();
    release(ctrlAlt);
    EXPECT_FALSE(recorder().isRecording());
    EXPECT_TRUE(controller->shortcutReady());
    expectDictationStartsWith(ctrlAltD, ctrlShiftSpace);
}

TEST_F(SettingsDesktopTest, HeldModifiersReleasedTogetherAreStoredAsAChordThatDictates)
{
    clickRecord();
    press(ctrlAlt);
    ASSERT_TRUE(
        waitFor([&] { return recorder().instruction() == "Ctrl+Alt  Release to save or press another key"; },
                eventWait))
        << recorder().instruction().toStdString();
    release(ctrlAlt);
    ASSERT_TRUE(waitFor([&] { return storedShortcut() == Shortcut::chord(0x1800); }, eventWait))
        << recorder().instruction().toStdString();
    expectDictationStartsWith(ctrlAlt, ctrlShiftSpace);
}

TEST_F(SettingsDesktopTest, KeyHeldByAnotherProgramIsRefusedAndTheOldShortcutStillWorks)
{
    // Another program grabs Ctrl+Alt+D without lock modifiers. With Num Lock on, the keys still
    // reach our window, but our registration (which grabs every lock variant) is refused.
    x11::XcbConnection other = x11::connectToDisplay();
    ASSERT_TRUE(other);
    const x11::X11KeyTranslation &translation = services->events().keys();
    const auto keycode = x11::xKeycodeFor(2);
    const auto modifiers = translation.xModifiers(0x1800);
    ASSERT_TRUE(keycode && modifiers);
    x11::XcbReply<xcb_generic_error_t> grabError(xcb_request_check(
        other.get(), xcb_grab_key_checked(other.get(), 1, x11::rootWindow(other.get()), *modifiers, *keycode,
                                          XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC)));
    ASSERT_FALSE(grabError);

    clickRecord();
    keys.press(XKB_KEY_Num_Lock);
    keys.release(XKB_KEY_Num_Lock);
    press(ctrlAltD);
    release(ctrlAltD);
    keys.press(XKB_KEY_Num_Lock);
    keys.release(XKB_KEY_Num_Lock);
    ASSERT_TRUE(waitFor([&] { return recorder().instruction() == "Ctrl+Alt+D is unavailable. Try another."; },
                        eventWait))
        << recorder().instruction().toStdString();
    EXPECT_TRUE(recorder().isRecording());

    // Escape alone cancels the recording, and only that: the window stays open.
    keys.press(XKB_KEY_Escape);
    keys.release(XKB_KEY_Escape);
    ASSERT_TRUE(waitFor([&] { return !recorder().isRecording(); }, eventWait));
    EXPECT_TRUE(window->window()->isVisible());
    EXPECT_TRUE(controller->shortcutReady());
    EXPECT_EQ(storedShortcut(), Shortcut::defaultShortcut());
    expectDictationStartsWith(ctrlShiftSpace, std::nullopt);
}

TEST_F(SettingsDesktopTest, ScreenReaderFindsTheControlsAndItsEditsAreStored)
{
    AtspiClient reader;
    ASSERT_TRUE(reader.isConnected());
    std::optional<AtspiNode> app;
    ASSERT_TRUE(waitFor([&] { return (app = reader.application(::getpid())).has_value(); }, eventWait));

    for (const char *tab : {"General", "Modes", "Dictionary", "About"})
        EXPECT_TRUE(reader.find(*app, AtspiRole::pageTab, tab)) << tab;
    EXPECT_TRUE(reader.find(*app, AtspiRole::checkBox, "Launch at Login"));
    EXPECT_TRUE(reader.find(*app, AtspiRole::pushButton, "Record Shortcut\u2026"));

    const auto history = reader.find(*app, AtspiRole::checkBox, "Save transcript history");
    ASSERT_TRUE(history);
    EXPECT_TRUE(reader.hasState(*history, AtspiState::checked));
    ASSERT_TRUE(reader.doAction(*history, "Toggle"));
    ASSERT_TRUE(waitForStored([](const Preferences &stored) { return !stored.retainHistory; }));

    const auto modes = reader.find(*app, AtspiRole::pageTab, "Modes");
    ASSERT_TRUE(modes);
    ASSERT_TRUE(reader.doAction(*modes, "Press"));
    // The mode picker is named by its label, as a screen reader announces it.
    const auto modeLabel = reader.find(*app, AtspiRole::label, "Writing mode");
    ASSERT_TRUE(modeLabel);
    const auto mode = reader.labelled(*modeLabel);
    ASSERT_TRUE(mode);
    EXPECT_EQ(reader.role(*mode), AtspiRole::comboBox);
    EXPECT_EQ(reader.name(*mode), "Verbatim");
    // Pickers take no focus request over AT-SPI; a screen reader user opens the list instead.
    ASSERT_TRUE(reader.doAction(*mode, "ShowMenu"));
    ASSERT_TRUE(waitFor([] { return QApplication::activePopupWidget() != nullptr; }, eventWait));
    for (const std::uint32_t key : {XKB_KEY_Down, XKB_KEY_Return}) {
        keys.press(key);
        keys.release(key);
    }
    ASSERT_TRUE(waitForStored([](const Preferences &stored) { return stored.mode == WritingMode::clean; }));

    const auto dictionary = reader.find(*app, AtspiRole::pageTab, "Dictionary");
    ASSERT_TRUE(dictionary);
    ASSERT_TRUE(reader.doAction(*dictionary, "Press"));
    const auto vocabulary = reader.find(*app, AtspiRole::text, "Custom vocabulary");
    ASSERT_TRUE(vocabulary);
    ASSERT_TRUE(waitFor(
        [&] { return reader.grabFocus(*vocabulary) && reader.hasState(*vocabulary, AtspiState::focused); },
        eventWait));
    for (const std::uint32_t key : {XKB_KEY_a, XKB_KEY_d, XKB_KEY_a}) {
        keys.press(key);
        keys.release(key);
    }
    ASSERT_TRUE(waitForStored([](const Preferences &stored) { return stored.vocabulary == "ada"; }));
}
