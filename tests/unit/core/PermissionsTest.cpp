// Readiness flags and texts, the permission requests, and the notification rule of the published
// properties.

#include "ControllerHarness.h"

#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

using namespace talvex;
using namespace talvex::test;
using Phase = DictationController::Phase;

TEST(ReadinessTest, NewControllerStartsIdleAndUnready)
{
    ControllerHarness h;
    h.model.availabilityValue = ModelAvailability::modelNotReady;
    h.make(false);
    const DictationController &c = h.controller();
    EXPECT_EQ(c.phase(), Phase::idle);
    EXPECT_EQ(c.speechStatus(), QStringLiteral("Checking model\u2026"));
    EXPECT_EQ(c.modelStatus(), QStringLiteral("Model is downloading"));
    EXPECT_FALSE(c.shortcutReady());
    EXPECT_FALSE(c.microphoneReady());
    EXPECT_FALSE(c.accessibilityReady());
    EXPECT_FALSE(c.speechReady());
    EXPECT_FALSE(c.message());
    EXPECT_EQ(c.waveform().peaks, WaveformFrame::silence().peaks);
    EXPECT_FALSE(c.waveform().newestTime);
    EXPECT_TRUE(c.locales().isEmpty());
    EXPECT_EQ(c.shortcutPresses(), 0);
    // Construction registers nothing and prepares nothing.
    EXPECT_TRUE(h.hotKeys.live().empty());
    EXPECT_EQ(h.speech.lookups, 0);
    EXPECT_EQ(h.enginesMade(), 0u);
}

TEST(ReadinessTest, RefreshSetsEachFlagFromItsService)
{
    const std::vector<std::pair<ModelAvailability, QString>> models = {
        {ModelAvailability::available, QStringLiteral("Ready")},
        {ModelAvailability::deviceNotEligible, QStringLiteral("This computer is not eligible")},
        {ModelAvailability::notEnabled, QStringLiteral("Local language model is off")},
        {ModelAvailability::modelNotReady, QStringLiteral("Model is downloading")},
        {ModelAvailability::unavailable, QStringLiteral("Unavailable")},
    };
    ControllerHarness h;
    h.make();
    for (const auto &[availability, text] : models) {
        h.model.availabilityValue = availability;
        h.controller().refreshPermissions();
        EXPECT_EQ(h.controller().modelStatus(), text);
    }

    EXPECT_TRUE(h.controller().microphoneReady());
    for (const auto status : {MicrophoneAuthorization::notDetermined, MicrophoneAuthorization::restricted,
                              MicrophoneAuthorization::denied}) {
        h.engine()->status = status; // the engine that answers the permission questions
        h.controller().refreshPermissions();
        EXPECT_FALSE(h.controller().microphoneReady());
    }

    // Field access and key events are both needed.
    for (const bool trusted : {false, true}) {
        for (const bool canPost : {false, true}) {
            h.accessibility.trusted = trusted;
            h.keyboard.allowed = canPost;
            h.controller().refreshPermissions();
            EXPECT_EQ(h.controller().accessibilityReady(), trusted && canPost);
        }
    }

    h.speechDouble.available = false;
    h.controller().refreshPermissions();
    EXPECT_FALSE(h.controller().speechReady());
    h.speechDouble.available = true;
    h.controller().refreshPermissions();
    EXPECT_TRUE(h.controller().speechReady());
}

TEST(ReadinessTest, FlagsAndTextsNotifyOnlyOnChangeWaveformAlways)
{
    ControllerHarness h;
    h.make();
    QSignalSpy accessibility(&h.controller(), &DictationController::accessibilityReadyChanged);
    QSignalSpy model(&h.controller(), &DictationController::modelStatusChanged);
    QSignalSpy message(&h.controller(), &DictationController::messageChanged);
    QSignalSpy phase(&h.controller(), &DictationController::phaseChanged);
    QSignalSpy waveform(&h.controller(), &DictationController::waveformChanged);
    QSignalSpy library(&h.controller(), &DictationController::libraryChanged);

    h.controller().refreshPermissions();
    h.controller().refreshPermissions();
    EXPECT_EQ(accessibility.count(), 0);
    EXPECT_EQ(model.count(), 0);
    h.keyboard.allowed = false;
    h.controller().refreshPermissions();
    h.controller().refreshPermissions();
    EXPECT_EQ(accessibility.count(), 1);

    h.controller().setMessage(QStringLiteral("Hi"));
    h.controller().setMessage(QStringLiteral("Hi"));
    EXPECT_EQ(message.count(), 1);

    // Two cancelled dictations: the silent frame is assigned (and announced) each time.
    for (int i = 0; i < 2; ++i) {
        h.press(1.0 + i);
        h.controller().cancel();
        h.release(1.5 + i);
    }
    EXPECT_EQ(waveform.count(), 2);
    EXPECT_EQ(phase.count(), 6); // preparing, recording, idle, twice: never idle to idle

    // Setting equal preferences still assigns the library.
    h.controller().setPreferences(h.controller().preferences());
    EXPECT_EQ(library.count(), 1);
}

TEST(PermissionRequestTest, MicrophoneIsAskedOrItsSettingsOpened)
{
    {
        ControllerHarness h;
        h.engines.status = MicrophoneAuthorization::denied;
        h.make();
        h.controller().allowMicrophone();
        h.drain();
        EXPECT_EQ(h.workspace.openedPanes, std::vector<SettingsPane>{SettingsPane::microphone});
        EXPECT_FALSE(h.engine()->calls.contains(QStringLiteral("requestAccess")));
    }
    {
        ControllerHarness h;
        h.engines.status = MicrophoneAuthorization::notDetermined;
        h.make();
        EXPECT_FALSE(h.controller().microphoneReady());
        h.engine()->accessAnswer = true;
        h.controller().allowMicrophone();
        EXPECT_TRUE(h.engine()->calls.contains(QStringLiteral("requestAccess")));
        // The answer is visible once the status changes; the refresh after the request reads it.
        h.engine()->status = MicrophoneAuthorization::authorized;
        h.controller().allowMicrophone();
        h.drain();
        EXPECT_TRUE(h.controller().microphoneReady());
        EXPECT_TRUE(h.workspace.openedPanes.empty());
    }
}

TEST(PermissionRequestTest, AccessibilityAsksForWhatIsMissingAndOpensItsSettings)
{
    ControllerHarness h;
    h.accessibility.trusted = true;
    h.keyboard.allowed = false;
    h.make();
    h.controller().allowAccessibility();
    EXPECT_EQ(h.keyboard.accessRequests, 1);
    EXPECT_EQ(h.accessibility.trustRequests, 0);
    EXPECT_EQ(h.workspace.openedPanes, std::vector<SettingsPane>{SettingsPane::accessibility});
    // Granted meanwhile: the flag follows at the next refresh, not before.
    h.keyboard.allowed = true;
    EXPECT_FALSE(h.controller().accessibilityReady());
    h.controller().refreshPermissions();
    EXPECT_TRUE(h.controller().accessibilityReady());

    h.accessibility.trusted = false;
    h.controller().allowAccessibility();
    EXPECT_EQ(h.accessibility.trustRequests, 1);
    EXPECT_EQ(h.workspace.openedPanes.size(), 2u);

    // An unknown desktop opens nothing, silently.
    h.workspace.settingsOpen = false;
    h.controller().openSettings(SettingsPane::microphone);
    EXPECT_FALSE(h.controller().message());
}

TEST(PermissionRequestTest, MissingMicrophoneSaysWhatToFixAndTheNextDictationWorksOnceItIsFixed)
{
    const struct {
        MicrophoneAuthorization status;
        std::optional<MicrophoneProblem> problem;
        QString message;
    } cases[] = {
        {MicrophoneAuthorization::restricted, MicrophoneProblem::noSoundServer,
         QStringLiteral("Talvex couldn\u2019t reach the sound server. Start PulseAudio or PipeWire, then try again.")},
        {MicrophoneAuthorization::restricted, MicrophoneProblem::noCaptureSource,
         QStringLiteral("Talvex could not start the microphone. Check your input device in Sound settings.")},
        {MicrophoneAuthorization::denied, MicrophoneProblem::refused,
         QStringLiteral("Allow Talvex in Settings \u2192 Privacy & Security \u2192 Microphone to dictate.")},
        // Asked, and not granted: the double derives the problem from the status.
        {MicrophoneAuthorization::notDetermined, std::nullopt,
         QStringLiteral("Allow Talvex in Settings \u2192 Privacy & Security \u2192 Microphone to dictate.")},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.message.toStdString());
        ControllerHarness h;
        h.engines.status = c.status;
        h.engines.problem = c.problem;
        h.engines.accessAnswer = false;
        h.make();
        h.press(1.0);
        h.drain();
        EXPECT_EQ(h.controller().phase(), Phase::idle);
        EXPECT_EQ(h.controller().message(), c.message);
        EXPECT_EQ(h.probe().dictationStateCount(), 0);
        EXPECT_FALSE(h.controller().microphoneReady());

        // The user fixes it; the same Talvex dictates.
        h.release(1.5);
        h.drain();
        h.firstEngine()->status = MicrophoneAuthorization::authorized;
        h.firstEngine()->problem = MicrophoneProblem::none;
        h.pasteLands();
        ASSERT_TRUE(h.startRecording(10.0));
        EXPECT_TRUE(h.controller().microphoneReady());
        ASSERT_TRUE(h.finishRecording(11.0));
        EXPECT_EQ(h.controller().library().history.size(), 1);
    }
}

TEST(PermissionRequestTest, CaptureLostWhileRecordingEndsTheDictationWithWhatToFixAndTheNextWorks)
{
    const QString noServer =
        QStringLiteral("Talvex couldn\u2019t reach the sound server. Start PulseAudio or PipeWire, then try again.");
    const QString noSource =
        QStringLiteral("Talvex could not start the microphone. Check your input device in Sound settings.");
    const struct {
        MicrophoneProblem lost;
        bool reported; ///< the engine tells at once; else the loss is only found at the release
        QString message;
    } cases[] = {
        {MicrophoneProblem::noSoundServer, true, noServer},
        {MicrophoneProblem::noSoundServer, false, noServer},
        {MicrophoneProblem::noCaptureSource, true, noSource},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.message.toStdString() + (c.reported ? " (reported)" : ""));
        ControllerHarness h;
        h.make();
        h.pasteLands();
        ASSERT_TRUE(h.startRecording(10.0));
        h.engine()->deliver(4800);
        if (c.reported) {
            // Hands-free recording of nothing ends without waiting for the user.
            h.engine()->loseCapture(c.lost);
            EXPECT_TRUE(QTest::qWaitFor([&] { return h.controller().phase() == Phase::idle; }, 5000));
            h.release(11.0);
            h.drain();
        } else {
            h.engine()->lost = c.lost;
            ASSERT_TRUE(h.finishRecording(11.0));
        }
        EXPECT_EQ(h.controller().phase(), Phase::idle);
        EXPECT_EQ(h.controller().message(), c.message);
        EXPECT_TRUE(h.controller().library().history.isEmpty()) << "a cut-off recording is not a transcript";
        EXPECT_TRUE(h.keyboard.posts.isEmpty()) << "nothing is pasted";

        ASSERT_TRUE(h.startRecording(20.0));
        ASSERT_TRUE(h.finishRecording(21.0));
        EXPECT_EQ(h.controller().library().history.size(), 1);
    }
}
