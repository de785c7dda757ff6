// Where a dictation's time goes between its stop and its delivery, measured on the controller's
// clock, and the end of a practice dictation whose window closes.

#include "ControllerHarness.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <algorithm>
#include <gtest/gtest.h>

using namespace talvex;
using namespace talvex::test;
using Phase = DictationController::Phase;

namespace {

// One settle step of the harness moves the clock by 0.01 s: a measured segment may end that much
// after the scripted wait that fills it.
constexpr double step = 0.0101;

struct PracticeWindow {
    QWidget window;
    QPlainTextEdit *editor = new QPlainTextEdit(&window);

    PracticeWindow()
    {
        (new QVBoxLayout(&window))->addWidget(editor);
        window.show();
        QApplication::setActiveWindow(&window);
        editor->setFocus();
    }
};

/// The recogniser takes `recognition` seconds to finalize and the model `rewrite` to answer.
void script(ControllerHarness &h, double recognition, double rewrite)
{
    h.speechDouble.configureAnalyzer = [&h, recognition](AnalyzerDouble &analyzer) {
        analyzer.resultsAtFinalize = {SpeechResult{QStringLiteral("my private words"), true}};
        analyzer.clock = &h.clock;
        analyzer.finalizeSeconds = recognition;
    };
    h.model.clock = &h.clock;
    h.model.answerSeconds = rewrite;
    h.model.answer(QStringLiteral("My private words."));
}

QStringList timingLines;

void captureTiming(QtMsgType, const QMessageLogContext &, const QString &message)
{
    if (message.startsWith(QStringLiteral("Dictation timing")) || message.contains(QStringLiteral("private")))
        timingLines << message;
}

} // namespace

TEST(TimingTest, EachDeliveredDictationRecordsItsSegmentsInItsOwnSlot)
{
    struct Case {
        const char *name;
        WritingMode mode;
        bool practice;
        double recognition;
        double rewrite;
        bool rewriteRuns; ///< practice dictations and the verbatim mode never rewrite
    };
    const std::vector<Case> cases{
        {"clean into an app", WritingMode::clean, false, 0.6, 1.25, true},
        {"verbatim into an app", WritingMode::verbatim, false, 0.3, 1.25, false},
        {"email into the practice field", WritingMode::email, true, 0.45, 1.25, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ControllerHarness h;
        h.clipboard.mirrorToQt = true;
        h.pasteLands();
        script(h, c.recognition, c.rewrite);
        h.make();
        Preferences preferences = h.controller().preferences();
        preferences.mode = c.mode;
        h.controller().setPreferences(preferences);
        std::optional<PracticeWindow> practice;
        if (c.practice) {
            practice.emplace();
            h.controller().setPracticeWindow(&practice->window);
        }
        QSignalSpy changed(&h.controller(), &DictationController::dictationTimingsChanged);

        ASSERT_TRUE(h.startRecording(1.0));
        ASSERT_TRUE(h.finishRecording(2.0));
        ASSERT_EQ(changed.count(), 1);
        const DictationTimings &timings = h.controller().dictationTimings();
        const std::optional<DictationTiming> &timing =
            c.practice ? timings.practice : timings.otherApplication;
        const std::optional<DictationTiming> &other =
            c.practice ? timings.otherApplication : timings.practice;
        ASSERT_TRUE(timing);
        EXPECT_FALSE(other);
        EXPECT_NEAR(timing->recognition, c.recognition, step);
        EXPECT_EQ(timing->rewrite.has_value(), c.rewriteRuns);
        if (c.rewriteRuns) {
            EXPECT_NEAR(*timing->rewrite, c.rewrite, step);
        }
        // The paste waits for the clipboard to settle at the very least.
        EXPECT_GT(timing->paste, 0.05);
        EXPECT_DOUBLE_EQ(timing->total(), timing->recognition + timing->rewrite.value_or(0) + timing->paste);
    }
}

TEST(TimingTest, TheOtherSlotSurvivesAndFailuresOrCancelsRecordNothing)
{
    ControllerHarness h;
    h.clipboard.mirrorToQt = true;
    h.pasteLands();
    script(h, 0.2, 0);
    h.make();
    QLoggingCategory::setFilterRules(QStringLiteral("com.quindlark.talvex.delivery.info=true"));
    timingLines.clear();
    const QtMessageHandler previous = qInstallMessageHandler(captureTiming);

    ASSERT_TRUE(h.startRecording(1.0));
    ASSERT_TRUE(h.finishRecording(2.0));
    const DictationTimings afterApp = h.controller().dictationTimings();
    ASSERT_TRUE(afterApp.otherApplication);

    PracticeWindow practice;
    h.controller().setPracticeWindow(&practice.window);
    ASSERT_TRUE(h.startRecording(10.0));
    ASSERT_TRUE(h.finishRecording(11.0));
    const DictationTimings afterPractice = h.controller().dictationTimings();
    ASSERT_TRUE(afterPractice.practice);
    EXPECT_EQ(afterPractice.otherApplication, afterApp.otherApplication) << "each slot keeps its own latest";

    QSignalSpy changed(&h.controller(), &DictationController::dictationTimingsChanged);
    // Nothing heard: a failure, not a delivery.
    h.speechDouble.configureAnalyzer = [](AnalyzerDouble &analyzer) {
        analyzer.resultsAtFinalize = {SpeechResult{QStringLiteral("   "), true}};
    };
    ASSERT_TRUE(h.startRecording(20.0));
    ASSERT_TRUE(h.finishRecording(21.0));
    // Cancelled while recording.
    ASSERT_TRUE(h.startRecording(30.0));
    h.controller().cancel();
    h.drain();
    qInstallMessageHandler(previous);

    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(h.controller().dictationTimings(), afterPractice);
    ASSERT_EQ(timingLines.size(), 2) << timingLines.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(timingLines[0].endsWith(QStringLiteral("(another application)")));
    EXPECT_TRUE(timingLines[1].endsWith(QStringLiteral("(practice field)")));
}

TEST(PracticeCancelTest, ClosingThePracticeWindowEndsItsDictationInEveryPhaseAndNoOtherOne)
{
    struct Case {
        const char *name;
        bool practice;
        Phase closedIn;
    };
    const std::vector<Case> cases{
        {"practice, preparing", true, Phase::preparing},
        {"practice, recording", true, Phase::recording},
        {"practice, transcribing", true, Phase::transcribing},
        {"another app, recording", false, Phase::recording},
        {"another app, transcribing", false, Phase::transcribing},
    };
    const QString before = QStringLiteral("what the user had copied");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        ControllerHarness h;
        h.clipboard.mirrorToQt = true;
        h.pasteLands();
        script(h, 0.5, 0);
        std::shared_ptr<Gate> preparation = h.speech.holdNextPreparation();
        h.make();
        PracticeWindow practice;
        if (c.practice)
            h.controller().setPracticeWindow(&practice.window);
        h.clipboard.setText(ClipboardSelection::clipboard, before);

        h.press(1.0);
        h.drain();
        ASSERT_EQ(h.controller().phase(), Phase::preparing);
        if (c.closedIn != Phase::preparing) {
            preparation->open();
            ASSERT_TRUE(h.settle([&] { return h.controller().phase() == Phase::recording; }));
        }
        if (c.closedIn == Phase::transcribing) {
            h.clock.advance(1.0);
            h.release(2.0);
            ASSERT_EQ(h.controller().phase(), Phase::transcribing);
        }
        EXPECT_EQ(h.controller().isDictatingInto(&practice.window), c.practice);

        h.controller().cancelPracticeDictation(&practice.window);
        if (c.practice) {
            EXPECT_EQ(h.controller().phase(), Phase::idle) << "idle at once";
            preparation->open();
            if (c.closedIn == Phase::transcribing) {
                // The recogniser still finishes in the background; nothing follows it.
                ASSERT_TRUE(h.settle(
                    [&] {
                        const auto &asked = h.clock.sleepRequests();
                        return std::count(asked.begin(), asked.end(), 0.5) == 1 &&
                               h.clock.pendingSleeps() == 0;
                    },
                    true));
            }
            h.drain();
            EXPECT_EQ(h.controller().phase(), Phase::idle);
            EXPECT_TRUE(practice.editor->toPlainText().isEmpty());
            EXPECT_EQ(h.clipboard.text(), before) << "the clipboard is left alone";
            EXPECT_FALSE(h.controller().message());
            EXPECT_FALSE(h.controller().dictationTimings().practice);
            EXPECT_EQ(h.probe().dictationStateCount(), 0);
        } else {
            EXPECT_EQ(h.controller().phase(), c.closedIn);
            if (c.closedIn == Phase::recording)
                ASSERT_TRUE(h.finishRecording(2.0));
            else
                ASSERT_TRUE(h.settle([&] { return h.controller().phase() == Phase::idle; }, true));
            EXPECT_EQ(h.controller().lastPasteStatus(), QStringLiteral("Text Editor: Paste confirmed"));
        }
    }
}
