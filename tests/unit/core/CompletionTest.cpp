// The end of a dictation: the rewrite, the replacements, every delivery outcome and its texts, the
// history, and the practice field of the onboarding window.

#include "ControllerHarness.h"

#include "refine/LocalModels.h"
#include "speech/TalvexError.h"
#include "store/Library.h"

#include <QApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QVBoxLayout>

#include <gtest/gtest.h>

using namespace talvex;
using namespace talvex::test;
using Phase = DictationController::Phase;
using Delivery = Destination::Delivery;

namespace {

void setPreferences(ControllerHarness &h, const std::function<void(Preferences &)> &change)
{
    Preferences preferences = h.controller().preferences();
    change(preferences);
    h.controller().setPreferences(preferences);
}

/// Arranges the desktop so that delivery ends with `outcome`.
void arrangeOutcome(ControllerHarness &h, Delivery outcome)
{
    switch (outcome) {
    case Delivery::inserted:
        h.pasteLands();
        break;
    case Delivery::pasteRequested:
        break; // the paste is sent but the caret never moves
    case Delivery::copiedBecausePermissionIsOff:
        h.keyboard.allowed = false;
        break;
    case Delivery::copiedBecauseFocusChanged:
        h.workspace.frontmost = RunningApplication{777, QStringLiteral("org.example.Other"), QStringLiteral("Other"),
                                                   QStringLiteral("Other"), QStringLiteral("other")};
        break;
    case Delivery::copied:
        h.clipboard.setTextFails = true;
        break;
    }
}

WordReplacement rule(const QString &spoken, const QString &written)
{
    WordReplacement replacement;
    replacement.spoken = spoken;
    replacement.written = written;
    return replacement;
}

struct OutcomeTexts {
    Delivery outcome;
    QString label;
    std::optional<QString> notice;
    bool attention;
};

const std::vector<OutcomeTexts> outcomeTable = {
    {Delivery::inserted, QStringLiteral("Paste confirmed"), std::nullopt, false},
    {Delivery::pasteRequested, QStringLiteral("Paste sent; check the field"), std::nullopt, false},
    {Delivery::copiedBecausePermissionIsOff, QStringLiteral("Automatic paste permission is off"),
     QStringLiteral("Transcript copied. Enable Automatic Paste in Talvex Settings to insert it at the cursor."), true},
    {Delivery::copiedBecauseFocusChanged, QStringLiteral("Focus moved before paste"),
     QStringLiteral("Transcript copied because the original text field lost focus."), true},
    {Delivery::copied, QStringLiteral("Paste didn\u2019t run"),
     QStringLiteral("Talvex couldn\u2019t insert the transcript. It\u2019s on the clipboard."), true},
};

} // namespace

TEST(CompletionTest, EveryDeliveryOutcomeGivesItsStatusNoticeAndAttention)
{
    // The recogniser's note about a stand-in final text, when there is one, comes first.
    const QString speechNote = QStringLiteral("The final text came from the stand-in recogniser.");
    const std::pair<bool, bool> notes[] = {{false, false}, {false, true}, {true, false}, {true, true}};
    for (const auto &[withSpeechNote, withNote] : notes) {
        for (const OutcomeTexts &row : outcomeTable) {
            SCOPED_TRACE(row.label.toStdString() + (withNote ? " with note" : "") +
                         (withSpeechNote ? " with speech note" : ""));
            ControllerHarness h;
            if (withSpeechNote)
                h.speechDouble.transcriberNote = speechNote;
            h.make();
            if (withNote) {
                // Cleanup is asked for but the model is off: the text is kept with a note.
                h.model.availabilityValue = ModelAvailability::notEnabled;
                setPreferences(h, [](Preferences &p) { p.mode = WritingMode::clean; });
            }
            ASSERT_TRUE(h.startRecording(1.0));
            EXPECT_FALSE(h.controller().pasteNeedsAttention());
            arrangeOutcome(h, row.outcome);
            ASSERT_TRUE(h.finishRecording(2.0));

            EXPECT_EQ(h.controller().lastPasteStatus(), QStringLiteral("Text Editor: ") + row.label);
            EXPECT_EQ(h.controller().pasteNeedsAttention(), row.attention);
            QStringList parts;
            if (withSpeechNote)
                parts << speechNote;
            if (withNote)
                parts << LocalModels::unavailableNote();
            if (row.notice)
                parts << *row.notice;
            const std::optional<QString> expected =
                parts.isEmpty() ? std::nullopt : std::optional<QString>(parts.join(QLatin1Char(' ')));
            EXPECT_EQ(h.controller().message(), expected);
            ASSERT_TRUE(h.controller().latest());
            EXPECT_EQ(h.controller().latest()->source, QStringLiteral("Text Editor"));
            EXPECT_EQ(h.controller().library().history.size(), 1);
            // The text stays on the clipboard unless the paste was confirmed.
            if (row.outcome == Delivery::pasteRequested || row.attention) {
                EXPECT_EQ(h.clipboard.text(),
                          row.outcome == Delivery::copied ? QString() : QStringLiteral("hello world"));
            }
        }
    }
}

TEST(CompletionTest, NextDictationClearsTheAttentionFlag)
{
    ControllerHarness h;
    h.make();
    h.keyboard.allowed = false;
    ASSERT_TRUE(h.startRecording(1.0));
    ASSERT_TRUE(h.finishRecording(2.0));
    ASSERT_TRUE(h.controller().pasteNeedsAttention());
    h.keyboard.allowed = true;
    h.press(5.0);
    EXPECT_FALSE(h.controller().pasteNeedsAttention());
    EXPECT_FALSE(h.controller().message());
}

TEST(CompletionTest, RewriteThenReplacementsShapeTheDeliveredText)
{
    ControllerHarness h;
    h.make();
    h.speak(QStringLiteral("um call bob at noon"));
    h.model.answer(QStringLiteral("- Call Bob at noon."));
    setPreferences(h, [](Preferences &p) {
        p.mode = WritingMode::verbatim;
        p.appModes.insert(QStringLiteral("org.gnome.TextEditor"), WritingMode::notes);
        p.replacements = {rule(QStringLiteral("Bob"), QStringLiteral("Robert"))};
    });
    ASSERT_TRUE(h.startRecording(1.0));
    h.pasteLands();
    ASSERT_TRUE(h.finishRecording(2.0));

    EXPECT_EQ(h.phases, (std::vector<Phase>{Phase::preparing, Phase::recording, Phase::transcribing, Phase::refining,
                                            Phase::idle}));
    ASSERT_TRUE(h.controller().latest());
    const Transcript &t = *h.controller().latest();
    EXPECT_EQ(t.original, QStringLiteral("um call bob at noon"));
    EXPECT_EQ(t.text, QStringLiteral("- Call Robert at noon."));
    EXPECT_EQ(t.mode, WritingMode::notes);
    EXPECT_EQ(h.controller().lastPasteStatus(), QStringLiteral("Text Editor: Paste confirmed"));
    EXPECT_FALSE(h.controller().message());
}

TEST(CompletionTest, NothingLeftToDeliverIsNoSpeech)
{
    const QString noSpeech = QStringLiteral("Speech recognition did not detect any words.");
    {
        ControllerHarness h;
        h.make();
        h.speak(QString());
        ASSERT_TRUE(h.startRecording(1.0));
        ASSERT_TRUE(h.finishRecording(2.0));
        EXPECT_EQ(h.controller().message(), noSpeech);
        EXPECT_FALSE(h.controller().latest());
        EXPECT_TRUE(h.clipboard.contents.empty());
    }
    {
        // The replacements leave only whitespace.
        ControllerHarness h;
        h.make();
        h.speak(QStringLiteral("um"));
        setPreferences(h, [](Preferences &p) {
            p.replacements = {rule(QStringLiteral("um"), QStringLiteral(" "))};
        });
        ASSERT_TRUE(h.startRecording(1.0));
        ASSERT_TRUE(h.finishRecording(2.0));
        EXPECT_EQ(h.controller().message(), noSpeech);
        EXPECT_FALSE(h.controller().lastPasteStatus());
    }
    {
        // Released too soon after the audio started: nothing to transcribe.
        ControllerHarness h;
        h.make();
        ASSERT_TRUE(h.startRecording(1.0));
        h.release(1.5);
        ASSERT_TRUE(h.settle([&] { return h.controller().phase() == Phase::idle; }, true));
        EXPECT_EQ(h.controller().message(), errorDescription(TalvexError::emptyAudio));
        EXPECT_EQ(h.probe().dictationStateCount(), 0);
    }
}

TEST(CompletionTest, HistoryIsKeptOnlyWhenRetainHistoryIsOn)
{
    {
        ControllerHarness h;
        Library stored;
        stored.preferences.retainHistory = false;
        stored.history = {Transcript::make(QStringLiteral("old"), QStringLiteral("old"), QStringLiteral("Notes"),
                                           WritingMode::verbatim)};
        QDir().mkpath(QFileInfo(h.libraryPath()).absolutePath());
        ASSERT_TRUE(stored.write(h.libraryPath()));
        QFile file(h.libraryPath());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();

        h.make();
        EXPECT_EQ(h.controller().mostRecentTranscript()->text, QStringLiteral("old"));
        ASSERT_TRUE(h.startRecording(1.0));
        ASSERT_TRUE(h.finishRecording(2.0));
        ASSERT_TRUE(h.controller().latest());
        EXPECT_EQ(h.controller().mostRecentTranscript()->text, QStringLiteral("hello world"));
        EXPECT_EQ(h.controller().library().history.size(), 1);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        EXPECT_EQ(file.readAll(), before);
    }
    {
        // The setting at the end of the dictation decides, not the copy taken at its start.
        ControllerHarness h;
        h.make();
        ASSERT_TRUE(h.startRecording(1.0));
        setPreferences(h, [](Preferences &p) { p.retainHistory = false; });
        ASSERT_TRUE(h.finishRecording(2.0));
        EXPECT_TRUE(h.controller().latest());
        EXPECT_TRUE(h.controller().library().history.isEmpty());
    }
    {
        ControllerHarness h;
        h.make();
        for (int i = 0; i < 2; ++i) {
            h.speak(QStringLiteral("take %1").arg(i));
            ASSERT_TRUE(h.startRecording(10.0 * i + 1));
            ASSERT_TRUE(h.finishRecording(10.0 * i + 2));
        }
        QFile file(h.libraryPath());
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const auto onDisk = Library::read(file.readAll());
        ASSERT_TRUE(onDisk);
        ASSERT_EQ(onDisk->history.size(), 2);
        EXPECT_EQ(onDisk->history.front().text, QStringLiteral("take 1")); // newest first
        EXPECT_EQ(onDisk->history, h.controller().library().history);
    }
}

namespace {

QStringList capturedLines;

void captureDeliveryLog(QtMsgType, const QMessageLogContext &context, const QString &text)
{
    if (context.category && QLatin1String(context.category) == QLatin1String("com.quindlark.talvex.delivery"))
        capturedLines << text;
}

} // namespace

TEST(CompletionTest, LogLinesNameTheTargetAndOutcomeButNeverTheText)
{
    ControllerHarness h;
    QLoggingCategory::setFilterRules(QStringLiteral("com.quindlark.talvex.delivery.debug=true"));
    capturedLines.clear();
    const QtMessageHandler previous = qInstallMessageHandler(captureDeliveryLog);
    h.speak(QStringLiteral("my secret words"));
    h.make();
    TargetProgram anonymous; // a program with no application ID
    anonymous.app.applicationID.reset();
    h.focusTarget(anonymous);
    ASSERT_TRUE(h.startRecording(1.0));
    ASSERT_TRUE(h.finishRecording(2.0));
    qInstallMessageHandler(previous);

    EXPECT_TRUE(capturedLines.contains(QStringLiteral("Global shortcut registered: true")));
    EXPECT_TRUE(capturedLines.contains(
        QStringLiteral("Talvex permissions: microphone true, field access true, key events true")));
    EXPECT_TRUE(capturedLines.contains(QStringLiteral("Shortcut pressed")));
    EXPECT_TRUE(capturedLines.contains(QStringLiteral("Shortcut released")));
    EXPECT_TRUE(capturedLines.contains(QStringLiteral("Delivery to unknown: Paste sent; check the field")));
    for (const QString &line : capturedLines)
        EXPECT_FALSE(line.contains(QStringLiteral("secret"))) << line.toStdString();
}

namespace {

/// The onboarding window's practice step: a window with a text field.
struct PracticeWindow {
    QWidget window;
    QPlainTextEdit *editor = new QPlainTextEdit(&window);
    QPlainTextEdit *other = new QPlainTextEdit(&window);

    PracticeWindow()
    {
        auto *layout = new QVBoxLayout(&window);
        layout->addWidget(editor);
        layout->addWidget(other);
        window.show();
        QApplication::setActiveWindow(&window);
    }
};

} // namespace

TEST(PracticeTest, DictationIntoThePracticeFieldIsVerbatimAndLeavesNoRecord)
{
    ControllerHarness h;
    h.clipboard.mirrorToQt = true; // the practice field pastes from the real clipboard
    h.make();
    setPreferences(h, [](Preferences &p) { p.mode = WritingMode::email; });
    PracticeWindow practice;
    practice.editor->setFocus();
    h.controller().setPracticeWindow(&practice.window);

    ASSERT_TRUE(h.startRecording(1.0));
    ASSERT_TRUE(h.finishRecording(2.0));
    EXPECT_EQ(practice.editor->toPlainText(), QStringLiteral("hello world"));
    EXPECT_EQ(h.controller().lastPracticePasteStatus(), QStringLiteral("Paste confirmed"));
    EXPECT_FALSE(h.controller().message());
    EXPECT_TRUE(h.model.requests.isEmpty()); // never rewritten
    EXPECT_EQ(std::count(h.phases.begin(), h.phases.end(), Phase::refining), 0);
    EXPECT_FALSE(h.controller().latest());
    EXPECT_FALSE(h.controller().lastPasteStatus());
    EXPECT_TRUE(h.controller().library().history.isEmpty());

    // Focus left the field before the paste: the notice, still no record; a recogniser's note about
    // its final text goes in the message before it, never into the status label.
    h.speechDouble.transcriberNote = QStringLiteral("Stand-in text.");
    ASSERT_TRUE(h.startRecording(10.0));
    EXPECT_FALSE(h.controller().lastPracticePasteStatus()); // cleared at the start
    practice.other->setFocus();
    ASSERT_TRUE(h.finishRecording(11.0));
    EXPECT_EQ(h.controller().lastPracticePasteStatus(), QStringLiteral("Focus moved before paste"));
    EXPECT_EQ(h.controller().message(),
              QStringLiteral("Stand-in text. Transcript copied because the original text field lost focus."));
    EXPECT_FALSE(h.controller().pasteNeedsAttention());
    EXPECT_FALSE(h.controller().latest());
}

TEST(PracticeTest, PracticePasteTestDeliversTheFixedSentence)
{
    ControllerHarness h;
    h.clipboard.mirrorToQt = true;
    h.make();
    PracticeWindow practice;
    h.controller().setPracticeWindow(&practice.window);
    QSignalSpy testing(&h.controller(), &DictationController::testingPracticePasteChanged);

    // No text field focused: only the hint.
    practice.editor->clearFocus();
    h.controller().testPracticePaste();
    EXPECT_EQ(h.controller().lastPracticePasteStatus(), QStringLiteral("Click inside the practice field first"));
    EXPECT_EQ(testing.count(), 0);

    practice.editor->setFocus();
    h.controller().testPracticePaste();
    EXPECT_TRUE(h.controller().testingPracticePaste());
    // No dictation starts while the practice paste runs.
    h.press(1.0);
    EXPECT_EQ(h.controller().phase(), Phase::idle);
    h.release(1.1);
    ASSERT_TRUE(h.settle([&] { return !h.controller().testingPracticePaste(); }, true));
    EXPECT_EQ(practice.editor->toPlainText(), QStringLiteral("Talvex paste test."));
    EXPECT_EQ(h.controller().lastPracticePasteStatus(), QStringLiteral("Paste confirmed"));
    EXPECT_FALSE(h.controller().message());
    EXPECT_EQ(h.phases, std::vector<Phase>{});

    // While a dictation runs, the practice paste does nothing.
    ASSERT_TRUE(h.startRecording(5.0));
    h.controller().testPracticePaste();
    EXPECT_FALSE(h.controller().testingPracticePaste());
    EXPECT_EQ(testing.count(), 2);
}
