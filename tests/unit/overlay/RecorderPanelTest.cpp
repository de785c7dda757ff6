// The panel over the real controller (with scripted platform services) and a screens double: when
// it shows and hides, where it goes, what its stop button does.
#include "overlay/RecorderPanel.h"

#include "ControllerHarness.h"
#include "ScreenSourceDouble.h"
#include "overlay/NonactivatingRecorder.h"
#include "overlay/RecorderStopButton.h"
#include "overlay/RecorderTranscript.h"
#include "overlay/RecorderView.h"

#include <QApplication>
#include <QTest>
#include <gtest/gtest.h>

inline void PrintTo(const QRect &rect, std::ostream *os)
{
    *os << rect.x() << "," << rect.y() << " " << rect.width() << "x" << rect.height();
}

using namespace talvex;
using namespace talvex::test;

namespace {

class RecorderPanelTest : public ::testing::Test {
  protected:
    void SetUp() override
    {
        auto source = std::make_unique<ScreenSourceDouble>();
        screens = source.get();
        // The harness's target window, 100,200 800x600, has its centre on the first screen.
        screens->areas = {ScreenArea{QRect(0, 0, 1280, 800), QRect(0, 0, 1280, 800)},
                          ScreenArea{QRect(1280, 0, 1920, 1080), QRect(1280, 0, 1920, 1040)}};
        h.make();
        panel = std::make_unique<RecorderPanel>(
            std::move(source), [this] { return compositing; }, [this] { return h.clock.now(); });
        panel->connect(h.controller());
    }

    NonactivatingRecorder *window() const { return panel->panel(); }
    bool shown() const { return window() && window()->isVisible(); }

    ControllerHarness h;
    ScreenSourceDouble *screens = nullptr;
    bool compositing = true;
    std::unique_ptr<RecorderPanel> panel;
};

} // namespace

TEST_F(RecorderPanelTest, ShownInEveryPhaseButIdleAndPlacedOnlyWhenItAppears)
{
    EXPECT_EQ(window(), nullptr) << "no window before the first dictation";

    // Visibility as the panel leaves it after each phase change.
    std::vector<std::pair<Phase, bool>> seen;
    std::vector<Phase> pending;
    QObject::connect(&h.controller(), &DictationController::phaseChanged, panel.get(),
                     [&] { pending.push_back(h.controller().phase()); });
    QObject::connect(
        &h.controller(), &DictationController::phaseChanged, panel.get(),
        [&] {
            seen.emplace_back(pending.front(), shown());
            pending.erase(pending.begin());
        },
        Qt::QueuedConnection);

    ASSERT_TRUE(h.startRecording(10.0));
    h.drain();
    ASSERT_TRUE(shown());
    NonactivatingRecorder *first = window();
    EXPECT_EQ(window()->geometry(), QRect(447, 635, 386, 141));

    // While shown it stays put, whatever the screens or the pointer do.
    screens->areas[0] = ScreenArea{QRect(0, 0, 1024, 768), QRect(0, 0, 1024, 700)};
    screens->pointerAt = QPoint(2000, 500);
    ASSERT_TRUE(h.finishRecording(11.0));
    h.drain();
    EXPECT_EQ(seen, (std::vector<std::pair<Phase, bool>>{{Phase::preparing, true},
                                                         {Phase::recording, true},
                                                         {Phase::transcribing, true},
                                                         {Phase::idle, false}}));
    EXPECT_EQ(window(), first) << "the window is kept for the next dictation";

    // The next dictation targets a window on the second screen: placed anew, there.
    TargetProgram elsewhere;
    elsewhere.frame = QRectF(1500, 100, 400, 300);
    h.focusTarget(elsewhere);
    ASSERT_TRUE(h.startRecording(20.0));
    h.drain();
    ASSERT_TRUE(shown());
    EXPECT_EQ(window(), first);
    EXPECT_EQ(window()->geometry(), QRect(1280 + 960 - 193, 1040 - 24 - 141, 386, 141));
}

TEST_F(RecorderPanelTest, StopButtonEndsTheDictationWithoutTakingFocus)
{
    ASSERT_TRUE(h.startRecording(10.0));
    h.drain();
    ASSERT_TRUE(shown());
    h.clock.advance(1.0); // more than the 0.2 s of audio a dictation needs
    RecorderStopButton *stop = window()->view()->stopButton();
    ASSERT_TRUE(stop->isVisible());
    QTest::mouseClick(stop, Qt::LeftButton);
    EXPECT_EQ(h.controller().phase(), Phase::transcribing);
    EXPECT_EQ(QApplication::focusWidget(), nullptr);

    ASSERT_TRUE(h.settle([&] { return h.controller().phase() == Phase::idle; }, true));
    h.drain();
    ASSERT_TRUE(h.controller().latest());
    EXPECT_EQ(h.controller().latest()->original, QStringLiteral("hello world"));
    EXPECT_FALSE(shown());
}

TEST_F(RecorderPanelTest, ShowsTheControllersLiveTextAndWaveform)
{
    ASSERT_TRUE(h.startRecording(10.0));
    h.drain();
    RecorderView &view = *window()->view();
    EXPECT_EQ(view.transcript()->shown(), QStringLiteral("Listening\u2026"));
    EXPECT_FALSE(view.wave()->isAnimating()) << "silent until the first frame";

    h.speechDouble.lastTranscriber->channel->push(SpeechResult{QStringLiteral("hello wor"), false});
    h.engine()->deliver(2048, 0.5f, h.clock.now());
    ASSERT_TRUE(h.settle([&] { return view.wave()->frame().newestTime.has_value(); }));
    ASSERT_TRUE(h.settle([&] { return !view.transcript()->text().isEmpty(); }));
    EXPECT_EQ(view.transcript()->shown(), QStringLiteral("hello wor"));
    EXPECT_EQ(view.wave()->frame().peaks, h.controller().waveform().peaks);
    EXPECT_TRUE(view.wave()->isAnimating());

    h.controller().cancel();
    h.drain();
    EXPECT_FALSE(shown());
    EXPECT_EQ(view.transcript()->text(), QString());
    EXPECT_FALSE(view.wave()->isAnimating()) << "nothing animates while the panel is hidden";
}

TEST_F(RecorderPanelTest, DrawingModeFollowsTheCompositorEachTimeItAppears)
{
    compositing = false;
    ASSERT_TRUE(h.startRecording(10.0));
    h.drain();
    ASSERT_TRUE(shown());
    EXPECT_FALSE(window()->isTranslucent());
    EXPECT_TRUE(window()->view()->isOpaque());
    const QRegion mask = window()->mask();
    EXPECT_FALSE(mask.contains(QPoint(0, 0))) << "the corners are cut away, not painted black";
    EXPECT_FALSE(mask.contains(QPoint(4, 4)));
    EXPECT_TRUE(mask.contains(QPoint(193, 70)));
    EXPECT_TRUE(mask.contains(QPoint(20, 3)));
    h.controller().cancel();
    h.release(10.5);
    h.drain();

    compositing = true;
    ASSERT_TRUE(h.startRecording(20.0));
    h.drain();
    ASSERT_TRUE(shown()) << int(h.controller().phase());
    EXPECT_TRUE(window()->isTranslucent());
    EXPECT_TRUE(window()->mask().isEmpty());
}

TEST_F(RecorderPanelTest, WithoutAScreenNothingShowsUntilOneIsThere)
{
    screens->areas.clear();
    ASSERT_TRUE(h.startRecording(10.0));
    h.drain();
    EXPECT_FALSE(shown());
    h.controller().cancel();
    h.release(10.5);
    h.drain();

    screens->areas = {ScreenArea{QRect(0, 0, 300, 600), QRect(0, 0, 300, 600)}};
    ASSERT_TRUE(h.startRecording(20.0));
    h.drain();
    ASSERT_TRUE(shown());
    EXPECT_EQ(window()->geometry(), QRect(12, 600 - 24 - 141, 276, 141)) << "a free width of 300 gives 276";
}

TEST_F(RecorderPanelTest, AControllerThatGoesAwayLeavesThePanelAlone)
{
    h.press(10.0);
    EXPECT_NE(h.controller().phase(), Phase::idle);
    h.destroy(); // the panel's evaluation of that phase is still queued
    h.drain();
    EXPECT_EQ(window(), nullptr);
}
