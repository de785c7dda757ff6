// Shortcut presses into dictations: hold versus tap, cancelling while preparing, the watchdog,
// late results, speech preparation, activation and the shortcut recorder's operations.

#include "ControllerHarness.h"

#include "core/ControllerTexts.h"
#include "speech/TalvexError.h"
#include "store/Library.h"

#include <QApplication>

#include <QFile>
#include <QSignalSpy>
#include <QWidget>

#include <gtest/gtest.h>

using namespace talvex;
using namespace talvex::test;
using Phase = DictationController::Phase;

namespace {

void writeLibrary(const QString &path, const Library &library)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    ASSERT_TRUE(library.write(path));
}

Library libraryWithShortcut(const Shortcut &shortcut)
{
    Library library;
    library.preferences.shortcutKey = shortcut;
    return library;
}

} // namespace

TEST(ShortcutGestureTest, HoldRecordsWhileHeldAndTapKeepsRecordingUntilTheNextPressAndRelease)
{
    {
        // Released exactly 0.3 s after the press: a hold, so the release stops and delivers.
        ControllerHarness h;
        h.make();
        ASSERT_TRUE(h.startRecording(0.0));
        EXPECT_EQ(h.controller().phase(), Phase::recording) << h.controller().message().value_or("-").toStdString();
        ASSERT_TRUE(h.finishRecording(0.3));
        ASSERT_TRUE(h.controller().latest());
        EXPECT_EQ(h.controller().latest()->original, QStringLiteral("hello world"));
        EXPECT_EQ(h.phases, (std::vector<Phase>{Phase::preparing, Phase::recording, Phase::transcribing, Phase::idle}));
    }
    {
        // A tap (0.2 s) keeps recording hands-free; the next press and release stops it however short.
        ControllerHarness h;
        h.make();
        ASSERT_TRUE(h.startRecording(10.0));
        h.release(10.2);
        h.drain();
        EXPECT_EQ(h.controller().phase(), Phase::recording);
        h.clock.advance(1.0);
        h.press(12.0);
        EXPECT_EQ(h.controller().phase(), Phase::recording);
        h.release(12.05);
        EXPECT_EQ(h.controller().phase(), Phase::transcribing);
        ASSERT_TRUE(h.settle([&] { return h.controller().phase() == Phase::idle; }, true));
        EXPECT_TRUE(h.controller().latest());
    }
}

TEST(ShortcutGestureTest, PressesDuringTranscriptionAreIgnoredWithTheirReleases)
{
    ControllerHarness h;
    h.make();
    ASSERT_TRUE(h.startRecording(10.0));
    h.clock.advance(1.0);
    h.release(11.0);
    ASSERT_EQ(h.controller().phase(), Phase::transcribing);
    h.press(11.1);
    h.release(11.9);
    EXPECT_EQ(h.controller().shortcutPresses(), 2);
    ASSERT_TRUE(h.settle([&] { return h.controller().phase() == Phase::idle; }, true));
    // One dictation, one delivery, and no second dictation started by the ignored press.
    EXPECT_EQ(h.phases, (std::vector<Phase>{Phase::preparing, Phase::recording, Phase::transcribing, Phase::idle}));
    EXPECT_EQ(h.controller().library().history.size(), 1);
}

TEST(ShortcutGestureTest, ReleasingWhilePreparingCancelsWithoutAMessageOrTranscript)
{
    ControllerHarness h;
    h.make(false);
    auto gate = h.speech.holdNextPreparation();
    h.controller().activate();
    h.controller().setMessage(QStringLiteral("old news"));
    h.press(10.0);
    ASSERT_EQ(h.controller().phase(), Phase::preparing);
    EXPECT_FALSE(h.controller().message()); // start() clears it
    h.release(10.5);
    EXPECT_EQ(h.controller().phase(), Phase::idle);
    EXPECT_EQ(h.probe().dictationStateCount(), 0);

    gate->open();
    h.drain();
    EXPECT_EQ(h.controller().phase(), Phase::idle);
    EXPECT_FALSE(h.controller().message());
    EXPECT_FALSE(h.controller().latest());
    // The session that never started was torn down in the background.
    ASSERT_NE(h.engine(), nullptr);
    EXPECT_FALSE(h.engine()->running);
    EXPECT_FALSE(h.engine()->hasTap());
}

TEST(ShortcutGestureTest, InterruptedChordCancelsOnlyTheDictationItsPressStarted)
{
    ControllerHarness h;
    writeLibrary(h.libraryPath(), libraryWithShortcut(Shortcut::chord(Shortcut::controlKey | Shortcut::optionKey)));
    h.make();
    ASSERT_TRUE(h.controller().shortcutReady());

    h.modifiers.pressModifier(KeyFlags::control, 10.0);
    h.modifiers.pressModifier(KeyFlags::option, 10.0);
    ASSERT_TRUE(h.settle([&] { return h.controller().phase() == Phase::recording; }, true));
    EXPECT_TRUE(h.controller().shortcutPressed());

    // Typing Ctrl+Alt+T: the chord was a key combination after all.
    h.modifiers.pressKey(10.5);
    h.drain();
    EXPECT_EQ(h.controller().phase(), Phase::idle);
    EXPECT_FALSE(h.controller().shortcutPressed());
    EXPECT_FALSE(h.controller().message());
}

TEST(ShortcutGestureTest, ShortcutProbeCountsPressesWithoutDictating)
{
    ControllerHarness h;
    h.make();
    QWidget onboarding;
    onboarding.show();
    QApplication::setActiveWindow(&onboarding);
    h.controller().setShortcutProbeWindow(&onboarding);

    QSignalSpy presses(&h.controller(), &DictationController::shortcutPressesChanged);
    h.press(1.0);
    EXPECT_TRUE(h.controller().shortcutPressed());
    h.release(1.5);
    h.press(2.0);
    h.release(2.1);
    EXPECT_EQ(h.controller().shortcutPresses(), 2);
    EXPECT_EQ(presses.count(), 2);
    EXPECT_FALSE(h.controller().shortcutPressed());
    EXPECT_TRUE(h.phases.empty());

    // Once the window is gone the shortcut dictates again.
    h.controller().setShortcutProbeWindow(nullptr);
    h.press(3.0);
    EXPECT_EQ(h.phases.front(), Phase::preparing);
}

TEST(SessionStartTest, WatchdogCancelsAfterTwelveSecondsOfPreparing)
{
    ControllerHarness h;
    h.make(false);
    auto gate = h.speech.holdNextPreparation();
    h.controller().activate();
    EXPECT_EQ(h.controller().speechStatus(), ControllerTexts::preparingModel());

    h.press(10.0);
    h.release(10.1); // a tap: the dictation waits hands-free for the model
    h.clock.advance(11.9);
    h.drain();
    EXPECT_EQ(h.controller().phase(), Phase::preparing);
    EXPECT_FALSE(h.controller().message());
    h.clock.advance(0.1);
    h.drain();
    EXPECT_EQ(h.controller().phase(), Phase::idle);
    EXPECT_EQ(h.controller().message(),
              QStringLiteral("Speech recognition is still getting ready. Try holding the shortcut again in a moment."));

    // The model arrives later: it is kept for the next dictation, which then starts at once.
    gate->open();
    h.drain();
    EXPECT_EQ(h.controller().speechStatus(), QStringLiteral("Ready on this computer"));
    const int lookups = h.speech.lookups;
    ASSERT_TRUE(h.startRecording(30.0));
    EXPECT_EQ(h.controller().phase(), Phase::recording);
    EXPECT_EQ(h.speech.lookups, lookups);
    // Reaching recording stopped the watchdog: twelve more seconds change nothing.
    h.clock.advance(13.0);
    h.drain();
    EXPECT_EQ(h.controller().phase(), Phase::recording);
}

TEST(SessionStartTest, FailuresOfTheStartTaskEndInOneSentenceAndIdle)
{
    {
        ControllerHarness h;
        h.engines.status = MicrophoneAuthorization::denied;
        h.make();
        EXPECT_FALSE(h.controller().microphoneReady());
        h.press(1.0);
        h.drain();
        EXPECT_EQ(h.controller().phase(), Phase::idle);
        EXPECT_EQ(h.controller().message(),
                  QStringLiteral("Allow Talvex in Settings \u2192 Privacy & Security \u2192 Microphone to dictate."));
        EXPECT_EQ(h.probe().dictationStateCount(), 0);
    }
    {
        ControllerHarness h;
        h.engines.startError = QStringLiteral("The audio server refused the recording.");
        h.make();
        h.press(1.0);
        h.drain();
        EXPECT_EQ(h.controller().phase(), Phase::idle);
        EXPECT_EQ(h.controller().message(), QStringLiteral("The audio server refused the recording."));
    }
    {
        // A failed preparation shows its sentence twice (status and message) and is prepared again
        // by the next dictation.
        ControllerHarness h;
        h.speechDouble.locales = {QStringLiteral("de-DE")};
        h.make();
        const QString unsupported = errorDescription(TalvexError::unsupportedLocale);
        EXPECT_EQ(h.controller().speechStatus(), unsupported);
        h.press(1.0);
        h.drain();
        EXPECT_EQ(h.controller().message(), unsupported);
        EXPECT_EQ(h.controller().phase(), Phase::idle);
        EXPECT_FALSE(h.probe().hasSpeechPreparation());

        h.speechDouble.locales = {QStringLiteral("en-US")};
        h.release(1.5);
        ASSERT_TRUE(h.startRecording(2.0));
        EXPECT_EQ(h.controller().phase(), Phase::recording);
        EXPECT_EQ(h.controller().speechStatus(), QStringLiteral("Ready on this computer"));
    }
}

TEST(SessionStartTest, LocaleChangeDuringPreparationKeepsTheNewerPreparation)
{
    ControllerHarness h;
    h.make(false);
    auto first = h.speech.holdNextPreparation();
    h.controller().activate();
    h.press(10.0);
    h.release(10.1);
    ASSERT_EQ(h.controller().phase(), Phase::preparing);

    auto second = h.speech.holdNextPreparation();
    Preferences changed = h.controller().preferences();
    changed.locale = QStringLiteral("en-GB");
    h.controller().setPreferences(changed);
    EXPECT_EQ(h.speech.lookups, 2);

    first->fail(QStringLiteral("The first model could not be loaded."));
    h.drain();
    // The dictation waited for the first preparation and fails with it; its status is stale.
    EXPECT_EQ(h.controller().phase(), Phase::idle);
    EXPECT_EQ(h.controller().message(), QStringLiteral("The first model could not be loaded."));
    EXPECT_EQ(h.controller().speechStatus(), ControllerTexts::preparingModel());
    EXPECT_TRUE(h.probe().hasSpeechPreparation());

    h.speechDouble.locales = {QStringLiteral("en-GB")};
    second->open();
    h.drain();
    EXPECT_EQ(h.controller().speechStatus(), QStringLiteral("Ready on this computer"));
    ASSERT_TRUE(h.startRecording(20.0));
    EXPECT_EQ(h.speech.lookups, 2); // the newer preparation served this dictation
    ASSERT_TRUE(h.probe().capturePreferences());
    EXPECT_EQ(h.probe().capturePreferences()->locale, QStringLiteral("en-GB"));
}

TEST(SessionStartTest, LatePartialsAndWaveformFramesChangeNothing)
{
    ControllerHarness h;
    h.make(false);
    auto gate = h.speech.holdNextPreparation();
    h.controller().activate();
    h.press(1.0);
    h.release(1.1);
    gate->open();
    ASSERT_TRUE(h.settle([&] { return h.controller().phase() == Phase::recording; }));

    // While recording, partials and frames show.
    h.speechDouble.lastTranscriber->channel->push(SpeechResult{QStringLiteral("hel"), false});
    h.engine()->deliver(2048, 0.5f, h.clock.now());
    ASSERT_TRUE(h.settle([&] { return h.controller().liveText() == QStringLiteral("hel"); }));
    ASSERT_TRUE(h.settle([&] { return h.controller().waveform().newestTime.has_value(); }));

    // Both are on their way to the main thread when the dictation is cancelled.
    QSignalSpy waveforms(&h.controller(), &DictationController::waveformChanged);
    QSignalSpy texts(&h.controller(), &DictationController::liveTextChanged);
    h.speechDouble.lastTranscriber->channel->push(SpeechResult{QStringLiteral("hello"), false});
    h.engine()->deliver(2048, 0.5f, h.clock.now());
    h.controller().cancel();
    EXPECT_EQ(waveforms.count(), 1); // reset() put the silent frame back
    EXPECT_EQ(texts.count(), 1);
    h.drain();
    EXPECT_EQ(h.controller().liveText(), QString());
    EXPECT_FALSE(h.controller().waveform().newestTime);
    EXPECT_EQ(waveforms.count(), 1);
    EXPECT_EQ(texts.count(), 1);
}

TEST(ActivationTest, SecondActivationOnlyRefreshesPermissions)
{
    ControllerHarness h;
    h.make(false);
    h.keyboard.allowed = false;
    h.controller().activate();
    h.drain();
    EXPECT_TRUE(h.controller().shortcutReady());
    EXPECT_EQ(h.controller().locales(), QStringList{QStringLiteral("en-US")});
    EXPECT_FALSE(h.controller().accessibilityReady());
    const auto registrations = h.hotKeys.calls.filter(QStringLiteral("register")).size();
    const int lookups = h.speech.lookups;

    h.keyboard.allowed = true;
    h.controller().activate();
    h.drain();
    EXPECT_TRUE(h.controller().accessibilityReady());
    EXPECT_EQ(h.hotKeys.calls.filter(QStringLiteral("register")).size(), registrations);
    EXPECT_EQ(h.speech.lookups, lookups);
}

TEST(ActivationTest, StoredEditingShortcutIsReplacedAndSaved)
{
    struct Case {
        Shortcut stored;
        bool replaced;
    };
    const std::vector<Case> cases = {
        {Shortcut(9, Shortcut::commandKey, QStringLiteral("V")), true},
        {Shortcut(9, Shortcut::controlKey, QStringLiteral("V")), true},
        {Shortcut(6, Shortcut::commandKey | Shortcut::shiftKey, QStringLiteral("Z")), true},
        {Shortcut(9, Shortcut::commandKey | Shortcut::shiftKey, QStringLiteral("V")), false},
        {Shortcut(2, Shortcut::controlKey | Shortcut::optionKey, QStringLiteral("D")), false},
    };
    for (const Case &c : cases) {
        ControllerHarness h;
        writeLibrary(h.libraryPath(), libraryWithShortcut(c.stored));
        h.make();
        QFile file(h.libraryPath());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const auto onDisk = Library::read(file.readAll());
        ASSERT_TRUE(onDisk);
        if (c.replaced) {
            EXPECT_EQ(h.controller().preferences().shortcutKey, Shortcut::defaultShortcut()) << c.stored.displayText().toStdString();
            EXPECT_EQ(onDisk->preferences.shortcutKey, Shortcut::defaultShortcut());
            EXPECT_EQ(h.controller().message(), QStringLiteral("Talvex reset ") + c.stored.displayText() +
                                                    QStringLiteral(" to Ctrl+Shift+Space so the editing command works normally."));
            EXPECT_TRUE(h.controller().shortcutReady());
        } else {
            EXPECT_EQ(h.controller().preferences().shortcutKey, c.stored) << c.stored.displayText().toStdString();
            EXPECT_EQ(onDisk->preferences.shortcutKey, c.stored);
            EXPECT_FALSE(h.controller().message());
        }
    }
}

TEST(ShortcutRecordingTest, RecorderOperationsRegisterStoreAndForgetThePress)
{
    ControllerHarness h;
    h.make();
    const Shortcut f9(101, 0, QStringLiteral("F9"));

    // Recording a new shortcut begins while the old one is held down.
    h.press(1.0);
    ASSERT_TRUE(h.settle([&] { return h.controller().phase() == Phase::recording; }));
    h.controller().setMessage(QStringLiteral("something"));
    h.controller().beginShortcutRecording();
    EXPECT_FALSE(h.controller().shortcutPressed());
    EXPECT_FALSE(h.controller().message());
    EXPECT_TRUE(h.controller().shortcutReady()); // suspended, not unregistered for good
    EXPECT_TRUE(h.hotKeys.live().empty());
    h.controller().cancel();

    // A refused shortcut changes nothing.
    h.hotKeys.refuseNext = true;
    EXPECT_FALSE(h.controller().saveRecordedShortcut(f9));
    EXPECT_FALSE(h.controller().message());
    EXPECT_EQ(h.controller().preferences().shortcutKey, Shortcut::defaultShortcut());
    EXPECT_FALSE(QFile::exists(h.libraryPath()));

    EXPECT_TRUE(h.controller().saveRecordedShortcut(f9));
    EXPECT_EQ(h.controller().message(), QStringLiteral("Shortcut saved: F9"));
    EXPECT_EQ(h.controller().preferences().shortcutKey, f9);
    EXPECT_TRUE(QFile::exists(h.libraryPath()));

    // Saving the stored shortcut again registers it but writes nothing.
    QFile::remove(h.libraryPath());
    EXPECT_TRUE(h.controller().saveRecordedShortcut(f9));
    EXPECT_EQ(h.controller().message(), QStringLiteral("Shortcut saved: F9"));
    EXPECT_FALSE(QFile::exists(h.libraryPath()));

    // And the new shortcut dictates.
    h.press(5.0);
    EXPECT_EQ(h.controller().phase(), Phase::recording);
}

