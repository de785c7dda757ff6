#include "TalvexUpdates.h"

#include "ControllerHarness.h"
#include "UpdaterDouble.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <gtest/gtest.h>

namespace talvex {
namespace {

using test::ControllerHarness;
using test::UpdaterDouble;

const QString refusal = QStringLiteral("Finish dictating before checking for updates.");

class TalvexUpdatesTest : public ::testing::Test {
  protected:
    void SetUp() override { h.make(); }

    /// A relaunch request as the updater makes it; the returned counter grows each time it proceeds.
    std::shared_ptr<int> requestRelaunch(bool *postponed)
    {
        auto runs = std::make_shared<int>(0);
        *postponed = updater.delegate->postponeRelaunch([runs] { ++*runs; });
        return runs;
    }

    ControllerHarness h;
    UpdaterDouble updater;
    TalvexUpdates updates{&updater};
};

TEST_F(TalvexUpdatesTest, BeforeStartNothingIsPublishedAndNothingChecks)
{
    updater.automatic = true;
    updater.note = QStringLiteral("a note");
    updates.check();
    updates.setAutomaticUpdates(false);
    EXPECT_FALSE(updates.canCheck());
    EXPECT_FALSE(updates.automaticUpdates());
    EXPECT_TRUE(updates.automaticUpdatesNote().isEmpty());
    EXPECT_EQ(updater.checks, 0);
    EXPECT_TRUE(updater.automatic) << "the setting belongs to an updater that has not started";

    updates.start(&h.controller());
    updates.start(&h.controller());
    EXPECT_EQ(updater.starts, 1);
    EXPECT_TRUE(updates.canCheck());
    EXPECT_TRUE(updates.automaticUpdates());
    EXPECT_EQ(updates.automaticUpdatesNote(), QStringLiteral("a note"));
}

TEST_F(TalvexUpdatesTest, TheUpdatersChangesArriveThroughTheEventLoopAndNotifyOnlyRealChanges)
{
    updates.start(&h.controller());
    QSignalSpy canCheck(&updates, &TalvexUpdates::canCheckChanged);
    QSignalSpy automatic(&updates, &TalvexUpdates::automaticUpdatesChanged);

    updates.setAutomaticUpdates(true);
    EXPECT_TRUE(updater.automatic);
    EXPECT_TRUE(updates.automaticUpdates());
    updater.canCheck = false;
    updater.changed();
    EXPECT_TRUE(updates.canCheck()) << "a change reported off the main thread waits for the loop";
    h.drain();
    EXPECT_FALSE(updates.canCheck());
    updater.changed();
    h.drain();
    EXPECT_EQ(canCheck.count(), 1);
    EXPECT_EQ(automatic.count(), 1);
}

TEST_F(TalvexUpdatesTest, WithoutAnUpdaterEverythingStaysOff)
{
    TalvexUpdates none(nullptr);
    none.start(&h.controller());
    none.setAutomaticUpdates(true);
    none.check();
    EXPECT_FALSE(none.canCheck());
    EXPECT_FALSE(none.automaticUpdates());
}

TEST_F(TalvexUpdatesTest, ChecksRunOnlyWhileIdleAndScheduledOnesAreRefusedInEveryOtherPhase)
{
    updates.start(&h.controller());
    // At every phase of a whole dictation: what a scheduled check is told, and whether the menu's
    // check reaches the updater.
    struct Seen {
        Phase phase;
        QString refusal;
        int checks;
    };
    std::vector<Seen> seen;
    QObject::connect(&h.controller(), &DictationController::phaseChanged, &updates, [&] {
        const QString told = updater.delegate->refusalBeforeCheck();
        const int before = updater.checks;
        updates.check();
        seen.push_back({h.controller().phase(), told, updater.checks - before});
    });
    ASSERT_TRUE(h.startRecording());
    ASSERT_TRUE(h.finishRecording());

    std::vector<Phase> phases;
    for (const Seen &s : seen) {
        phases.push_back(s.phase);
        const bool idle = s.phase == Phase::idle;
        EXPECT_EQ(s.refusal, idle ? QString() : refusal) << int(s.phase);
        EXPECT_EQ(s.checks, idle ? 1 : 0) << int(s.phase);
    }
    EXPECT_EQ(phases,
              (std::vector<Phase>{Phase::preparing, Phase::recording, Phase::transcribing, Phase::idle}));

    updater.canCheck = false;
    updates.check();
    EXPECT_EQ(updater.checks, 1) << "the updater said it cannot check";
}

TEST_F(TalvexUpdatesTest, ARelaunchWhileIdleProceedsAtOnceWithoutBeingHeld)
{
    updates.start(&h.controller());
    bool postponed = true;
    const auto runs = requestRelaunch(&postponed);
    EXPECT_FALSE(postponed);
    EXPECT_FALSE(updates.hasPendingInstall());
    h.drain();
    EXPECT_EQ(*runs, 0) << "the updater proceeds itself when not postponed";
}

TEST_F(TalvexUpdatesTest, RelaunchesDuringADictationWaitForIdleAndOnlyTheLatestRuns)
{
    updates.start(&h.controller());
    ASSERT_TRUE(h.startRecording());
    bool postponed = false;
    const auto first = requestRelaunch(&postponed);
    EXPECT_TRUE(postponed);
    const auto second = requestRelaunch(&postponed);
    EXPECT_TRUE(postponed);
    h.drain();
    EXPECT_EQ(*first + *second, 0);

    ASSERT_TRUE(h.finishRecording());
    EXPECT_EQ(h.controller().phase(), Phase::idle);
    h.drain();
    EXPECT_EQ(*first, 0);
    EXPECT_EQ(*second, 1);
    EXPECT_FALSE(updates.hasPendingInstall());

    // The next dictation finds nothing left over.
    ASSERT_TRUE(h.startRecording(20.0));
    ASSERT_TRUE(h.finishRecording(21.0));
    h.drain();
    EXPECT_EQ(*second, 1);
}

TEST_F(TalvexUpdatesTest, ACancelledDictationAlsoLetsTheRelaunchThrough)
{
    updates.start(&h.controller());
    ASSERT_TRUE(h.startRecording());
    bool postponed = false;
    const auto runs = requestRelaunch(&postponed);
    EXPECT_TRUE(postponed);
    h.controller().cancel();
    ASSERT_TRUE(h.settle([&] { return *runs == 1; }));
}

TEST_F(TalvexUpdatesTest, APracticePasteHoldsTheRelaunchUntilItHasRestoredTheClipboard)
{
    h.clipboard.mirrorToQt = true;
    QWidget window;
    auto *editor = new QPlainTextEdit(&window);
    new QVBoxLayout(&window);
    window.layout()->addWidget(editor);
    window.show();
    QApplication::setActiveWindow(&window);
    editor->setFocus();
    h.controller().setPracticeWindow(&window);
    updates.start(&h.controller());

    h.controller().testPracticePaste();
    ASSERT_TRUE(h.controller().testingPracticePaste());
    ASSERT_EQ(h.controller().phase(), Phase::idle);
    bool postponed = false;
    const auto runs = requestRelaunch(&postponed);
    EXPECT_TRUE(postponed);
    EXPECT_EQ(updater.delegate->refusalBeforeCheck(), QString()) << "a check does not disturb the paste";

    ASSERT_TRUE(h.settle([&] { return !h.controller().testingPracticePaste(); }, true));
    ASSERT_TRUE(h.settle([&] { return *runs == 1; }));
    EXPECT_EQ(editor->toPlainText(), QStringLiteral("Talvex paste test."));
}

TEST_F(TalvexUpdatesTest, WithoutADictationSourceNothingIsRefusedOrHeld)
{
    updates.start(nullptr);
    EXPECT_TRUE(updater.delegate->refusalBeforeCheck().isEmpty());
    bool postponed = true;
    requestRelaunch(&postponed);
    EXPECT_FALSE(postponed);
    updates.check();
    EXPECT_EQ(updater.checks, 0) << "the menu's check needs the controller to say it is idle";
}

} // namespace
} // namespace talvex
