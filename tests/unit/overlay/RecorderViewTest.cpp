// The recorder's widgets offscreen: texts and controls per phase, the transcript's three lines,
// the wave's drawing and its timer, and what a screen reader meets.
#include "overlay/RecorderView.h"

#include "overlay/RecorderSpinner.h"
#include "overlay/RecorderStopButton.h"
#include "overlay/RecorderTranscript.h"
#include "overlay/WaveGeometry.h"

#include <QAccessible>
#include <QLabel>
#include <QTest>
#include <gtest/gtest.h>

inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

using namespace talvex;

namespace {

const QString longText = QStringLiteral(
    "one two three four five six seven eight nine ten eleven twelve thirteen fourteen fifteen sixteen "
    "seventeen eighteen nineteen twenty twenty-one twenty-two twenty-three twenty-four twenty-five");

// A view in a window of the panel's size, laid out and shown offscreen.
struct ShownView {
    explicit ShownView(RecorderWave::Clock clock = [] { return 100.0; })
        : window(new QWidget), view(new RecorderView(nullptr, window.get(), std::move(clock)))
    {
        window->resize(386, 141);
        view->resize(386, 141);
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }
    std::unique_ptr<QWidget> window;
    RecorderView *view;
};

WaveformFrame level(float peak, std::optional<double> newestTime)
{
    WaveformFrame frame = WaveformFrame::silence();
    for (WaveformPeak &column : frame.peaks)
        column = WaveformPeak{-peak, peak};
    frame.newestTime = newestTime;
    return frame;
}

// Rows of the picture's column `x` that have any ink, top and bottom.
std::pair<int, int> inkedRows(const QImage &picture, int x)
{
    int top = -1, bottom = -1;
    for (int y = 0; y < picture.height(); ++y) {
        if (qAlpha(picture.pixel(x, y)) > 8) {
            top = top < 0 ? y : top;
            bottom = y;
        }
    }
    return {top, bottom};
}

} // namespace

TEST(RecorderViewTest, EachPhaseShowsItsSentenceAndItsControls)
{
    struct Case {
        Phase phase;
        QString sentence;
        bool recordingControls;
    } cases[] = {
        {Phase::idle, QStringLiteral("Ready to dictate"), false},
        {Phase::preparing, QStringLiteral("Getting the microphone ready\u2026"), false},
        {Phase::recording, QStringLiteral("Listening\u2026"), true},
        {Phase::transcribing, QStringLiteral("Transcribing\u2026"), false},
        {Phase::refining, QStringLiteral("Polishing with the local model\u2026"), false},
    };
    ShownView shown;
    RecorderView &view = *shown.view;
    for (const Case &c : cases) {
        view.setPhase(c.phase);
        EXPECT_EQ(view.transcript()->shown(), c.sentence);
        EXPECT_EQ(view.microphone()->isVisible(), c.recordingControls) << c.sentence.toStdString();
        EXPECT_EQ(view.wave()->isVisible(), c.recordingControls) << c.sentence.toStdString();
        EXPECT_EQ(view.stopButton()->isVisible(), c.recordingControls) << c.sentence.toStdString();
        EXPECT_EQ(view.spinner()->isVisible(), !c.recordingControls) << c.sentence.toStdString();
        EXPECT_EQ(view.spinner()->isAnimating(), !c.recordingControls) << "a hidden spinner has no timer";
    }
}

TEST(RecorderViewTest, LayoutFollowsTheCardsMeasures)
{
    ShownView shown;
    RecorderView &view = *shown.view;
    view.setPhase(Phase::recording);
    QTest::qWait(0);
    const QRect text = view.transcript()->geometry();
    const QRect wave = view.wave()->geometry();
    const QRect stop = view.stopButton()->geometry();
    const QRect microphone = view.microphone()->geometry();
    EXPECT_EQ(text.left(), 16) << "2 of inset and 14 of padding";
    EXPECT_EQ(text.right(), 386 - 16 - 1);
    EXPECT_EQ(wave.size(), QSize(220, 60)) << "as wide as it may be when there is room";
    EXPECT_EQ(wave.left(), microphone.right() + 1 + 10 + 8);
    EXPECT_EQ(stop.left(), wave.right() + 1 + 8 + 10);
    EXPECT_EQ(wave.top() - (text.bottom() + 1), 7 + 1) << "spacing 7, then the 62-high row centres the wave";
    // The stack is centred in the card.
    const int above = text.top() - 2;
    const int below = (141 - 2) - (text.bottom() + 1 + 7 + 62);
    EXPECT_LE(std::abs(above - below), 1);

    // A narrow screen narrows the wave, not the button.
    shown.window->resize(276, 141);
    view.resize(276, 141);
    QTest::qWait(0);
    EXPECT_LT(view.wave()->width(), 220);
    EXPECT_EQ(view.stopButton()->size(), view.stopButton()->sizeHint());
    EXPECT_LE(view.stopButton()->geometry().right(), 276 - 16);
}

TEST(RecorderViewTest, TranscriptShowsTheNewestThreeLines)
{
    ShownView shown;
    RecorderTranscript &transcript = *shown.view->transcript();
    transcript.setStatus(QStringLiteral("Listening\u2026"));
    const int threeLines = transcript.height();
    EXPECT_EQ(transcript.shownFont().weight(), QFont::Normal) << "the status is in regular weight";
    EXPECT_EQ(transcript.visibleLines(), QStringList{QStringLiteral("Listening\u2026")});

    struct Case {
        QString text;
        const char *why;
    } cases[] = {
        {QStringLiteral("Hello"), "one line, at the top"},
        {QStringLiteral("first line\nsecond line"), "a line break stays a line break"},
        {longText, "more than three lines: the last three"},
        {QString(400, QLatin1Char('x')), "a word wider than the area wraps anywhere, never elided"},
    };
    for (const Case &c : cases) {
        transcript.setText(c.text);
        EXPECT_EQ(transcript.height(), threeLines) << c.why;
        EXPECT_EQ(transcript.shownFont().weight(), QFont::Medium) << c.why;
        const QStringList lines = transcript.lines();
        EXPECT_EQ(lines.join(QString()).remove(QLatin1Char(' ')),
                  QString(c.text).remove(QLatin1Char(' ')).remove(QLatin1Char('\n')))
            << c.why << ": every character is laid out";
        EXPECT_EQ(transcript.visibleLines(), lines.mid(std::max<qsizetype>(0, lines.size() - 3))) << c.why;
    }
    EXPECT_GT(transcript.lines().size(), 3);

    // The text grows: the newest words are the last visible line.
    transcript.setText(longText + QStringLiteral(" newest"));
    EXPECT_TRUE(transcript.visibleLines().constLast().endsWith(QStringLiteral("newest")));
    transcript.setText(QString());
    EXPECT_EQ(transcript.shown(), QStringLiteral("Listening\u2026")) << "back to the status once empty";
}

TEST(RecorderViewTest, ScreenReadersMeetNamedControlsAndNoDecoration)
{
    ShownView shown;
    RecorderView &view = *shown.view;
    view.setPhase(Phase::recording);
    view.setLiveText(QStringLiteral("Hello world"));

    QAccessibleInterface *card = QAccessible::queryAccessibleInterface(&view);
    ASSERT_TRUE(card);
    std::map<QString, std::pair<QAccessible::Role, QString>> children;
    for (int i = 0; i < card->childCount(); ++i) {
        QAccessibleInterface *child = card->child(i);
        ASSERT_TRUE(child);
        EXPECT_EQ(card->indexOfChild(child), i);
        children[child->text(QAccessible::Name)] = {child->role(), child->text(QAccessible::Description)};
    }
    const std::map<QString, std::pair<QAccessible::Role, QString>> expected = {
        {QStringLiteral("Live transcript: Hello world"), {QAccessible::StaticText, QString()}},
        {QStringLiteral("Microphone recording"), {QAccessible::Graphic, QString()}},
        {QStringLiteral("Stop recording"),
         {QAccessible::Button, QStringLiteral("Stop recording and paste the transcript")}},
    };
    EXPECT_EQ(children, expected) << "the wave and the spinner are left out";
    EXPECT_EQ(view.stopButton()->toolTip(), QStringLiteral("Stop recording and paste the transcript"));
    EXPECT_EQ(card->indexOfChild(QAccessible::queryAccessibleInterface(view.wave())), -1);

    view.setLiveText(QString());
    EXPECT_EQ(QAccessible::queryAccessibleInterface(view.transcript())->text(QAccessible::Name),
              QStringLiteral("Listening\u2026"));

    for (QWidget *widget : view.findChildren<QWidget *>())
        EXPECT_EQ(widget->focusPolicy(), Qt::NoFocus) << widget->metaObject()->className();
}

TEST(RecorderViewTest, WaveDrawsTheLevelsAndAFlatLineForSilence)
{
    const double now = 100.0;
    RecorderWave wave(nullptr, [now] { return now; });
    const QSize size(220, 60);
    const int middle = 110; // the fade is fully open here

    wave.setFrame(WaveformFrame::silence());
    QImage picture = wave.picture(size, 1.0, now);
    EXPECT_EQ(inkedRows(picture, middle), std::make_pair(29, 30)) << "only the faint centre line";
    EXPECT_LT(qAlpha(picture.pixel(middle, 30)), 60);

    wave.setFrame(level(1.0f, now - 0.125));
    picture = wave.picture(size, 1.0, now);
    // Full scale: 0.92 of the 29-point amplitude above and below the centre, so rows 3 to 56.
    const auto [top, bottom] = inkedRows(picture, middle);
    EXPECT_NEAR(top, 30 - 29 * 0.9195, 1.0);
    EXPECT_NEAR(bottom, 30 + 29 * 0.9195, 1.0);
    EXPECT_GT(std::max(qAlpha(picture.pixel(middle, top)), qAlpha(picture.pixel(middle, top + 1))), 150)
        << "the rim is bright";
    EXPECT_LT(qAlpha(picture.pixel(middle, 30)), 100) << "the body is faint";
    EXPECT_EQ(inkedRows(picture, 0), std::make_pair(-1, -1)) << "faded out at the left end";
    EXPECT_EQ(inkedRows(picture, 219), std::make_pair(-1, -1)) << "faded out at the right end";

    // Drawn at twice the pixels, the same picture.
    const QImage sharp = wave.picture(size, 2.0, now);
    EXPECT_EQ(sharp.size(), size * 2);
    EXPECT_NEAR(inkedRows(sharp, 2 * middle).first / 2.0, top, 1.0);

    wave.setFrame(WaveformFrame::silence());
    EXPECT_EQ(inkedRows(wave.picture(size, 1.0, now), middle), std::make_pair(29, 30))
        << "a new frame, a new shape";
}

TEST(RecorderViewTest, WaveSlidesWithTheClockBetweenFrames)
{
    // One loud column (60) in silence; its peak is where x(60) puts it for the moment drawn.
    WaveformFrame frame = WaveformFrame::silence();
    frame.peaks[60] = WaveformPeak{-0.8f, 0.8f};
    frame.newestTime = 100.0;
    RecorderWave wave(nullptr, [] { return 0.0; });
    wave.setFrame(frame);
    const QSize size(220, 60);
    // The centre of the columns where the ink is tallest.
    auto tallestAt = [](const QImage &picture) {
        int height = 0;
        std::vector<int> tallest;
        for (int x = 0; x < picture.width(); ++x) {
            const auto [top, bottom] = inkedRows(picture, x);
            if (top < 0 || bottom - top < height)
                continue;
            if (bottom - top > height)
                tallest.clear();
            height = bottom - top;
            tallest.push_back(x);
        }
        return tallest.empty() ? -1.0 : (tallest.front() + tallest.back() + 1) / 2.0;
    };
    for (const double rightEdge : {110.0, 111.5, 113.0}) {
        const double now = 100.0 + 0.125 + (rightEdge - 115.0) * 0.014;
        ASSERT_NEAR(WaveGeometry::rightEdge(frame, now), rightEdge, 1e-9);
        EXPECT_NEAR(tallestAt(wave.picture(size, 1.0, now)), WaveGeometry::columnX(60, rightEdge, 220), 1.0)
            << rightEdge;
    }
}

TEST(RecorderViewTest, FramesThatContinueDrawOnlyTheirNewEndAndLookTheSameAsDrawnWhole)
{
    // A long run of speech-like columns, handed out three at a time as the tap does.
    std::vector<WaveformPeak> run;
    for (int i = 0; i < 600; ++i) {
        const float level =
            float(0.02 + 0.3 * std::pow(std::abs(std::sin(i * 0.29)), 3) * (1 + std::sin(i * 0.07)));
        run.push_back(WaveformPeak{-level * 0.8f, level});
    }
    auto frameAt = [&](int newest, double columnDuration = 0.014) {
        WaveformFrame frame;
        frame.peaks.assign(run.begin() + newest - 115, run.begin() + newest + 1);
        frame.columnDuration = columnDuration;
        frame.newestTime = 50.0 + newest * columnDuration;
        return frame;
    };
    // 95 wide: one device pixel per column, so the strip and a fresh picture round alike.
    const QSize size(95, 60);
    auto differs = [&](const QImage &a, const QImage &b) {
        int worst = 0;
        for (int y = 0; y < a.height(); ++y)
            for (int x = 0; x < a.width(); ++x)
                worst = std::max(worst, std::abs(qAlpha(a.pixel(x, y)) - qAlpha(b.pixel(x, y))));
        return worst;
    };
    struct Step {
        int newest;
        double ratio;
        int drawn; // columns the shape drew: 116 for the whole frame
        const char *why;
    } steps[] = {
        {115, 1, 116, "the first frame is drawn whole"},
        {118, 1, 8, "three new columns and the five they reshape"},
        {121, 1, 8, "again"},
        {127, 1, 11, "two frames' worth at once"},
        {127, 2, 116, "a new pixel ratio draws the whole"},
        {130, 2, 8, "and continues from there"},
        {300, 2, 116, "a gap draws the whole"},
    };
    RecorderWave wave(nullptr, [] { return 0.0; });
    for (const Step &step : steps) {
        const WaveformFrame frame = frameAt(step.newest);
        const double now = *frame.newestTime + 0.05;
        wave.setFrame(frame);
        const QImage drawn = wave.picture(size, step.ratio, now);
        EXPECT_EQ(wave.shapes().lastDrawnColumns(), step.drawn) << step.why;
        RecorderWave fresh(nullptr, [] { return 0.0; });
        fresh.setFrame(frame);
        EXPECT_LE(differs(drawn, fresh.picture(size, step.ratio, now)), 2) << step.why;
    }

    // The strip is several views wide; a long dictation starts it over now and then, seamlessly.
    int whole = 0;
    for (int newest = 303; newest < 600; newest += 3) {
        const WaveformFrame frame = frameAt(newest);
        const double now = *frame.newestTime + 0.05;
        wave.setFrame(frame);
        const QImage drawn = wave.picture(size, 2, now);
        whole += wave.shapes().lastDrawnColumns() == 116;
        if (newest % 60 == 0 || wave.shapes().lastDrawnColumns() == 116) {
            RecorderWave fresh(nullptr, [] { return 0.0; });
            fresh.setFrame(frame);
            ASSERT_LE(differs(drawn, fresh.picture(size, 2, now)), 2) << newest;
        }
    }
    EXPECT_GE(whole, 1);
    EXPECT_LE(whole, 3);

    // Columns that do not match what came before are not taken for a continuation.
    WaveformFrame changed = frameAt(250);
    wave.setFrame(frameAt(247));
    wave.picture(size, 1, 0);
    changed.peaks[10].high += 0.1f;
    wave.setFrame(changed);
    wave.picture(size, 1, 0);
    EXPECT_EQ(wave.shapes().lastDrawnColumns(), 116);
}

TEST(RecorderViewTest, WaveAnimatesOnlyOnScreenWhileThePictureSlides)
{
    double now = 100.0;
    QWidget window;
    RecorderWave *wave = new RecorderWave(&window, [&now] { return now; });
    wave->setFrame(level(0.5f, now));
    EXPECT_FALSE(wave->isAnimating()) << "not on screen";

    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    EXPECT_TRUE(wave->isAnimating());

    wave->setFrame(WaveformFrame::silence());
    EXPECT_FALSE(wave->isAnimating()) << "the silent frame stands still";

    wave->setFrame(level(0.5f, now));
    EXPECT_TRUE(wave->isAnimating());
    now += 0.2; // frames stopped coming: the picture slides to its end, then stands still
    QTRY_VERIFY(!wave->isAnimating());

    wave->setFrame(level(0.5f, now));
    EXPECT_TRUE(wave->isAnimating());
    window.hide();
    EXPECT_FALSE(wave->isAnimating()) << "a hidden panel does no animation work";
    window.show();
    EXPECT_TRUE(wave->isAnimating());
}
