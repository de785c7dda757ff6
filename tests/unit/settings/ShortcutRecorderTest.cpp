// The shortcut recorder over the real controller and global shortcut (doubles underneath): what is
// shown, saved, registered and swallowed for each sequence of keys.
#include "desktop/ShortcutRecorder.h"

#include "ControllerShortcutRecording.h"
#include "SettingsFixture.h"

#include <gtest/gtest.h>
#include <memory>

using namespace talvex;
using namespace talvex::test;

namespace {

constexpr ShortcutRecorder::WindowId recordingWindow = 1;
constexpr ShortcutRecorder::WindowId otherWindow = 2;

/// What the global shortcut has live: the hot key's code and mask, "chord", or "none".
QString liveShortcut(ControllerHarness &harness)
{
    if (!harness.hotKeys.live().empty()) {
        const auto &live = harness.hotKeys.live().back();
        return QStringLiteral("%1/0x%2").arg(live.code).arg(live.modifiers, 0, 16);
    }
    return harness.modifiers.liveTaps() > 0 ? QStringLiteral("chord") : QStringLiteral("none");
}

const QString defaultLive = QStringLiteral("49/0x1200");

class ShortcutRecorderTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        controller = &fixture.make();
        recording = std::make_unique<ControllerShortcutRecording>(*controller);
        recorder = std::make_unique<ShortcutRecorder>(*recording);
    }

    void begin(std::optional<ShortcutRecorder::WindowId> window = recordingWindow)
    {
        recorder->begin(window, [] { return std::make_unique<QObject>(); });
    }

    /// Feeds the script's events as events of `window`; returns how many were swallowed.
    int type(const QString &script, ShortcutRecorder::WindowId window = recordingWindow)
    {
        int swallowed = 0;
        for (const auto &stroke : TestKeyboard::parse(script))
            swallowed += recorder->handle(fixture.keyboard.event(stroke), window) ? 1 : 0;
        return swallowed;
    }

    QString stored() const { return controller->preferences().shortcutKey.displayText(); }

    SettingsFixture fixture;
    DictationController *controller = nullptr;
    std::unique_ptr<ControllerShortcutRecording> recording;
    std::unique_ptr<ShortcutRecorder> recorder;
};

/// After a part of the key sequence: whether still recording, the instruction, the stored
/// shortcut, what is registered, and the controller's message ("" for none).
struct Checkpoint {
    QString keys;
    bool recording;
    QString instruction;
    QString stored;
    QString live;
    QString message;
};

struct Sequence {
    const char *name;
    std::vector<Checkpoint> checkpoints;
    bool refuseRegistration = false; ///< the next hot key or chord registration is refused
};

const QString holdKeys = QStringLiteral("Hold the keys together\u2026");
const QString noModifier = QStringLiteral("Add a modifier or use a function key.");

} // namespace

TEST_F(ShortcutRecorderTest, KeySequencesShowSaveAndRegisterAsTheUserExpects)
{
    const QString ctrlShiftSpace = QStringLiteral("Ctrl+Shift+Space");
    const std::vector<Sequence> sequences = {
        {"modifiers then a key: saved when the key is released, not the modifiers",
         {{"+Ctrl +Shift +Space", true, "Ctrl+Shift+Space  Release to save", ctrlShiftSpace, "none", ""},
          {"-Space", false, "Ctrl+Shift+Space  Release to save", ctrlShiftSpace, defaultLive,
           "Shortcut saved: Ctrl+Shift+Space"},
          {"-Shift -Ctrl", false, "Ctrl+Shift+Space  Release to save", ctrlShiftSpace, defaultLive,
           "Shortcut saved: Ctrl+Shift+Space"}}},
        {"a letter alone needs a modifier; a function key alone is saved",
         {{"+K", true, noModifier, ctrlShiftSpace, "none", ""},
          {"-K +F5", true, "F5  Release to save", ctrlShiftSpace, "none", ""},
          {"-F5", false, "F5  Release to save", "F5", "96/0x0", "Shortcut saved: F5"}}},
        {"an editing command is refused and recording goes on",
         {{"+Ctrl +V", true, "Ctrl+V is reserved for editing. Try another.", ctrlShiftSpace, "none", ""},
          {"-V -Ctrl", true, "Ctrl+V is reserved for editing. Try another.", ctrlShiftSpace, "none", ""}}},
        {"a chord is saved when every modifier is released",
         {{"+Ctrl +Alt", true, "Ctrl+Alt  Release to save or press another key", ctrlShiftSpace, "none", ""},
          {"-Alt", true, "Ctrl+Alt  Release to save or press another key", ctrlShiftSpace, "none", ""},
          {"-Ctrl", false, "Ctrl+Alt  Release to save or press another key", "Ctrl+Alt", "chord",
           "Shortcut saved: Ctrl+Alt"}}},
        {"one modifier alone saves nothing",
         {{"+Ctrl", true, "Ctrl  Hold another key", ctrlShiftSpace, "none", ""},
          {"-Ctrl", true, "Ctrl  Hold another key", ctrlShiftSpace, "none", ""}}},
        {"a key pressed during a chord makes a combination, not a chord",
         {{"+Ctrl +Alt +K", true, "Ctrl+Alt+K  Release to save", ctrlShiftSpace, "none", ""},
          {"-K -Alt -Ctrl", false, "Ctrl+Alt+K  Release to save", "Ctrl+Alt+K", "40/0x1800",
           "Shortcut saved: Ctrl+Alt+K"}}},
        {"Escape alone cancels and registers the stored shortcut again",
         {{"+K -K", true, noModifier, ctrlShiftSpace, "none", ""},
          {"+Esc", false, noModifier, ctrlShiftSpace, defaultLive, ""}}},
        {"Escape with a modifier is a shortcut",
         {{"+Ctrl +Esc -Esc", false, "Ctrl+Esc  Release to save", "Ctrl+Esc", "53/0x1000",
           "Shortcut saved: Ctrl+Esc"}}},
        {"key repeats are swallowed without validating again",
         {{"+Ctrl +V -Ctrl *V *V", true, "Ctrl+V is reserved for editing. Try another.", ctrlShiftSpace,
           "none", ""},
          {"-V +Ctrl +Alt +K *K *K", true, "Ctrl+Alt+K  Release to save", ctrlShiftSpace, "none", ""},
          {"-K", false, "Ctrl+Alt+K  Release to save", "Ctrl+Alt+K", "40/0x1800",
           "Shortcut saved: Ctrl+Alt+K"}}},
        {"a refused registration keeps recording, and its reason stays while the keys are let go",
         {{"+Ctrl +Alt +D -D", true, "Ctrl+Alt+D is unavailable. Try another.", ctrlShiftSpace, "none", ""},
          {"-Alt -Ctrl", true, "Ctrl+Alt+D is unavailable. Try another.", ctrlShiftSpace, "none", ""},
          {"+Esc", false, "Ctrl+Alt+D is unavailable. Try another.", ctrlShiftSpace, defaultLive, ""}},
         true},
        {"a refused chord keeps recording",
         {{"+Ctrl +Alt -Alt -Ctrl", true, "Ctrl+Alt is unavailable. Try another.", ctrlShiftSpace, "none",
           ""}},
         true},
        {"a key typed alone does not hold back a chord that follows",
         {{"+K -K +Ctrl +Alt", true, "Ctrl+Alt  Release to save or press another key", ctrlShiftSpace, "none",
           ""},
          {"-Alt -Ctrl", false, "Ctrl+Alt  Release to save or press another key", "Ctrl+Alt", "chord",
           "Shortcut saved: Ctrl+Alt"}}},
        {"modifiers still held from a rejected combination make no chord until all are released",
         {{"+Ctrl +V -V +Alt", true, "Ctrl+Alt  Hold another key", ctrlShiftSpace, "none", ""},
          {"-Alt -Ctrl", true, "Ctrl+Alt  Hold another key", ctrlShiftSpace, "none", ""},
          {"+Ctrl +Alt -Alt -Ctrl", false, "Ctrl+Alt  Release to save or press another key", "Ctrl+Alt",
           "chord", "Shortcut saved: Ctrl+Alt"}}},
    };

    for (const Sequence &sequence : sequences) {
        SCOPED_TRACE(sequence.name);
        SettingsFixture fresh;
        DictationController &freshController = fresh.make();
        ControllerShortcutRecording adapter(freshController);
        ShortcutRecorder freshRecorder(adapter);
        fresh.harness.hotKeys.refuseNext = sequence.refuseRegistration;
        fresh.harness.modifiers.refuseTaps = sequence.refuseRegistration;
        freshRecorder.begin(recordingWindow, [] { return std::make_unique<QObject>(); });
        ASSERT_EQ(liveShortcut(fresh.harness), "none") << "recording suspends the global shortcut";

        for (const Checkpoint &checkpoint : sequence.checkpoints) {
            SCOPED_TRACE(checkpoint.keys.toStdString());
            int events = 0;
            int swallowed = 0;
            for (const auto &stroke : TestKeyboard::parse(checkpoint.keys)) {
                ++events;
                swallowed += freshRecorder.handle(fresh.keyboard.event(stroke), recordingWindow) ? 1 : 0;
            }
            const bool stillRecording = freshRecorder.isRecording();
            EXPECT_EQ(stillRecording, checkpoint.recording);
            if (stillRecording) {
                EXPECT_EQ(swallowed, events) << "every key of the recording window is swallowed";
            }
            EXPECT_EQ(freshRecorder.instruction(), checkpoint.instruction);
            EXPECT_EQ(freshController.preferences().shortcutKey.displayText(), checkpoint.stored);
            EXPECT_EQ(liveShortcut(fresh.harness), checkpoint.live);
            EXPECT_EQ(freshController.message().value_or(QString()), checkpoint.message);
        }
        // A saved shortcut is in the library file as well; nothing else writes it here.
        if (const auto file = readLibrary(fresh.harness.libraryPath())) {
            EXPECT_EQ(file->preferences.shortcutKey, freshController.preferences().shortcutKey);
        } else {
            EXPECT_EQ(freshController.preferences().shortcutKey, Shortcut::defaultShortcut());
        }
    }
}

TEST_F(ShortcutRecorderTest, OtherWindowsKeepTheirKeysAndIdleRecorderSwallowsNothing)
{
    EXPECT_EQ(type("+Ctrl +Alt +D -D -Alt -Ctrl"), 0) << "not recording: everything passes";
    begin();
    EXPECT_EQ(type("+Ctrl +Alt +D -D -Alt -Ctrl", otherWindow), 0);
    EXPECT_EQ(type("+Esc -Esc", otherWindow), 0);
    EXPECT_TRUE(recorder->isRecording());
    EXPECT_EQ(recorder->instruction(), holdKeys);
    EXPECT_EQ(recorder->handle(fixture.keyboard.event(TestKeyboard::parse("+K")[0]), std::nullopt), false)
        << "an event with no window at all passes too";
    EXPECT_EQ(stored(), "Ctrl+Shift+Space");
}

TEST_F(ShortcutRecorderTest, BeginForgetsTheHeldShortcutAndClearsTheMessage)
{
    // The shortcut is held when recording starts: its release must not stop anything later.
    fixture.harness.press(10.0);
    ASSERT_TRUE(controller->shortcutPressed());
    controller->setMessage(QStringLiteral("Backup exported."));
    begin();
    EXPECT_FALSE(controller->shortcutPressed());
    EXPECT_FALSE(controller->message());
    EXPECT_EQ(liveShortcut(fixture.harness), "none");
    EXPECT_EQ(recorder->instruction(), holdKeys);
    EXPECT_EQ(recorder->recordingWindow(), recordingWindow);
}

TEST_F(ShortcutRecorderTest, RecordingThatCannotStartSaysWhyAndKeepsTheShortcut)
{
    struct Case {
        const char *name;
        std::optional<ShortcutRecorder::WindowId> window;
        bool monitorInstalls;
        QString message;
    };
    const std::vector<Case> cases = {
        {"no window", std::nullopt, true, "Click inside the Talvex window and try Record Shortcut again."},
        {"no key monitor", recordingWindow, false, "Couldn\u2019t start shortcut capture. Try again."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        recorder->begin(c.window, [&]() -> ShortcutRecorder::Monitor {
            return c.monitorInstalls ? std::make_unique<QObject>() : nullptr;
        });
        EXPECT_FALSE(recorder->isRecording());
        EXPECT_FALSE(recorder->recordingWindow());
        EXPECT_EQ(controller->message(), c.message);
        EXPECT_EQ(liveShortcut(fixture.harness), defaultLive);
        EXPECT_TRUE(controller->shortcutReady());
    }
}

TEST_F(ShortcutRecorderTest, CancelledByTheButtonTheRecordingWindowLosingFocusOrTheRowGoing)
{
    const std::vector<std::pair<const char *, std::function<void()>>> cancels = {
        {"Cancel", [&] { recorder->cancel(); }},
        {"the recording window resigns", [&] { recorder->windowResignedKey(recordingWindow); }},
        {"the row goes away", [&] { recorder.reset(); }},
    };
    for (const auto &[name, cancel] : cancels) {
        SCOPED_TRACE(name);
        recorder = std::make_unique<ShortcutRecorder>(*recording);
        begin();
        type("+Ctrl +Alt");
        recorder->windowResignedKey(otherWindow);
        recorder->windowResignedKey(std::nullopt);
        ASSERT_TRUE(recorder->isRecording()) << "only the recording window's resignation counts";
        cancel();
        if (recorder) {
            EXPECT_FALSE(recorder->isRecording());
            EXPECT_FALSE(recorder->recordingWindow());
        }
        EXPECT_EQ(liveShortcut(fixture.harness), defaultLive);
        EXPECT_EQ(stored(), "Ctrl+Shift+Space");
        fixture.keyboard.held = 0; // the keys are let go
    }
}

TEST_F(ShortcutRecorderTest, ARefusedShortcutKeepsTheGlobalShortcutSuspendedUntilASaveSucceeds)
{
    begin();
    fixture.harness.hotKeys.refuseNext = true;
    type("+Ctrl +Alt +D -D -Alt -Ctrl");
    ASSERT_TRUE(recorder->isRecording());
    EXPECT_EQ(liveShortcut(fixture.harness), "none");
    const qint64 presses = controller->shortcutPresses();
    fixture.harness.press(20.0);
    EXPECT_EQ(controller->shortcutPresses(), presses) << "no shortcut fires while recording";
    EXPECT_EQ(controller->phase(), Phase::idle);

    type("+Ctrl +Alt +K -K");
    EXPECT_FALSE(recorder->isRecording());
    EXPECT_EQ(liveShortcut(fixture.harness), "40/0x1800");
    EXPECT_EQ(stored(), "Ctrl+Alt+K");
}
