#include "overlay/WaveGeometry.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>

using namespace talvex;
namespace wave = talvex::WaveGeometry;

namespace {

constexpr double last = 115.0;
constexpr double notANumber = std::numeric_limits<double>::quiet_NaN();

WaveformFrame frameAt(std::optional<double> newestTime, float high = 0.0f, float low = 0.0f)
{
    WaveformFrame frame = WaveformFrame::silence();
    for (WaveformPeak &peak : frame.peaks)
        peak = WaveformPeak{low, high};
    frame.newestTime = newestTime;
    return frame;
}

// The end points of the curve segments of `path`, in order (Qt stores each quadratic as a cubic:
// a curve element and two data elements, the last of which is the end point).
std::vector<QPointF> segmentEnds(const QPainterPath &path)
{
    std::vector<QPointF> ends;
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element element = path.elementAt(i);
        if (element.type == QPainterPath::CurveToElement) {
            ends.push_back(path.elementAt(i + 2));
            i += 2;
        } else {
            ends.push_back(element);
        }
    }
    return ends;
}

// The point halfway along the `index`th curve of `path`.
QPointF curveMiddle(const QPainterPath &path, int index)
{
    for (int i = 1; i < path.elementCount(); ++i) {
        if (path.elementAt(i).type != QPainterPath::CurveToElement || index-- > 0)
            continue;
        const QPointF start = path.elementAt(i - 1), c1 = path.elementAt(i), c2 = path.elementAt(i + 1),
                      end = path.elementAt(i + 2);
        return (start + 3 * c1 + 3 * c2 + end) / 8;
    }
    return {};
}

} // namespace

TEST(WaveGeometryTest, LevelCurve)
{
    // The curve tops out 0.0025 past full scale, where its argument reaches 1.
    const float ceiling = 1.0f - std::exp(-2.52f);
    struct Case {
        float value;
        float expected;
        const char *why;
    } cases[] = {
        {0.0f, 0.0f, "silence is flat"},
        {0.002f, 0.0f, "below the floor is flat"},
        {0.0025f, 0.0f, "the floor itself is flat"},
        {-0.5f, 0.0f, "negative values are flat"},
        {1.0025f, ceiling, "the top of the curve"},
        {7.0f, ceiling, "beyond full scale is clamped"},
        {std::numeric_limits<float>::infinity(), ceiling, "an infinite peak is clamped"},
        {std::numeric_limits<float>::quiet_NaN(), 0.0f, "not a number draws flat"},
    };
    for (const Case &c : cases)
        EXPECT_FLOAT_EQ(wave::level(c.value), c.expected) << c.why;
    EXPECT_NEAR(wave::level(1.0f), 0.92, 0.001) << "full scale reaches about 0.92";

    // Small values rise steeply: a tenth of full scale already draws about half the amplitude.
    EXPECT_NEAR(wave::level(0.1f), 0.48, 0.01);
    float previous = 0.0f;
    for (float value = 0.003f; value <= 1.0f; value += 0.001f) {
        const float now = wave::level(value);
        ASSERT_GT(now, previous) << value;
        previous = now;
    }
}

TEST(WaveGeometryTest, SmoothingWeighsTwoNeighboursEachSideAndFewerAtTheEnds)
{
    std::vector<WaveformPeak> spike(116);
    spike[50] = WaveformPeak{-0.9f, 0.9f};
    const auto middle = wave::smooth(spike);
    ASSERT_EQ(middle.size(), 116u);
    const float expected[] = {0.1f, 0.2f, 0.3f, 0.2f, 0.1f}; // 0.9 x (1, 2, 3, 2, 1) / 9
    for (int offset = -2; offset <= 2; ++offset) {
        EXPECT_FLOAT_EQ(middle[std::size_t(50 + offset)].high, expected[offset + 2]) << offset;
        EXPECT_FLOAT_EQ(middle[std::size_t(50 + offset)].low, -expected[offset + 2]) << offset;
    }
    EXPECT_EQ(middle[47], WaveformPeak{});
    EXPECT_EQ(middle[53], WaveformPeak{});

    // At the first column only the weights 3, 2, 1 exist; at the second 2, 3, 2, 1.
    std::vector<WaveformPeak> edge(116);
    edge[0] = WaveformPeak{0.0f, 0.6f};
    const auto atEdge = wave::smooth(edge);
    EXPECT_FLOAT_EQ(atEdge[0].high, 0.6f * 3 / 6);
    EXPECT_FLOAT_EQ(atEdge[1].high, 0.6f * 2 / 8);
    EXPECT_FLOAT_EQ(atEdge[2].high, 0.6f * 1 / 9);
    std::vector<WaveformPeak> lastEdge(116);
    lastEdge[115] = WaveformPeak{-0.6f, 0.0f};
    EXPECT_FLOAT_EQ(wave::smooth(lastEdge)[115].low, -0.6f * 3 / 6);
    EXPECT_FLOAT_EQ(wave::smooth(lastEdge)[114].low, -0.6f * 2 / 8);

    // A level signal stays level everywhere, ends included.
    for (const WaveformPeak &peak : wave::smooth(std::vector<WaveformPeak>(116, WaveformPeak{-0.3f, 0.4f}))) {
        EXPECT_FLOAT_EQ(peak.low, -0.3f);
        EXPECT_FLOAT_EQ(peak.high, 0.4f);
    }
    EXPECT_TRUE(wave::smooth({}).empty());
    EXPECT_EQ(wave::smooth({WaveformPeak{-0.2f, 0.5f}}), (std::vector<WaveformPeak>{{-0.2f, 0.5f}}));
}

TEST(WaveGeometryTest, ScrollPositionTrailsTheNewestColumnAndStaysInRange)
{
    const double t = 500.0;
    struct Case {
        std::optional<double> newest;
        double columnDuration;
        double now;
        double expected;
        const char *why;
    } cases[] = {
        {std::nullopt, 0.014, t, last, "the silent frame stands at the last column"},
        {t, 0.014, t, last - 0.125 / 0.014, "0.125 s behind the newest column: about 106.07"},
        {t, 0.014, t + 0.014, last - 0.125 / 0.014 + 1.0, "one column further per 14 ms"},
        {t, 0.014, t + 0.125, last, "caught up with the newest column"},
        {t, 0.014, t + 5.0, last, "never runs ahead of the newest column"},
        {t, 0.014, t - 0.2, 95.0, "never shows columns left of column 0"},
        {t, 0.0, t, last, "no column duration: stands still"},
        {t, -0.014, t, last, "a negative duration: stands still"},
        {notANumber, 0.014, t, last, "a time that is not a number: stands still"},
    };
    for (const Case &c : cases)
        EXPECT_NEAR(wave::rightEdge(116, c.newest, c.columnDuration, c.now), c.expected, 1e-9) << c.why;
    EXPECT_NEAR(wave::rightEdge(frameAt(t), t), 106.0714, 1e-4);
}

TEST(WaveGeometryTest, NextFrameContinuesTheMotionWithoutAJump)
{
    // A column that is column k of one frame is column k - 3 of the next, whose newest time is
    // three columns (42 ms) later. At any moment both frames put it at the same place.
    const double width = 220;
    const WaveformFrame before = frameAt(100.0);
    const WaveformFrame after = frameAt(100.0 + 3 * 0.014);
    for (const double now : {100.05, 100.1, 100.11}) {
        for (const double k : {10.0, 60.0, 115.0}) {
            EXPECT_NEAR(wave::columnX(k, wave::rightEdge(before, now), width),
                        wave::columnX(k - 3, wave::rightEdge(after, now), width), 1e-9)
                << now << " " << k;
        }
    }
}

TEST(WaveGeometryTest, SlidesOnlyWhileTheNewestColumnIsAheadOfThePicture)
{
    EXPECT_FALSE(wave::slides(frameAt(std::nullopt), 10.0)) << "the silent frame stands still";
    EXPECT_TRUE(wave::slides(frameAt(10.0), 10.0));
    EXPECT_TRUE(wave::slides(frameAt(10.0), 10.124));
    EXPECT_FALSE(wave::slides(frameAt(10.0), 10.125)) << "frames stopped: slid to the end";
    EXPECT_FALSE(wave::slides(frameAt(10.0), 60.0));
    WaveformFrame empty = frameAt(10.0);
    empty.peaks.clear();
    EXPECT_FALSE(wave::slides(empty, 10.0));
}

TEST(WaveGeometryTest, ColumnsSpan95WidthsWithTheScrollPositionOnTheRightEdge)
{
    EXPECT_DOUBLE_EQ(wave::columnX(106.5, 106.5, 220), 220);
    EXPECT_DOUBLE_EQ(wave::columnX(106.5 - 95, 106.5, 220), 0);
    EXPECT_DOUBLE_EQ(wave::columnX(115, 115, 95), 95);
    EXPECT_DOUBLE_EQ(wave::columnX(114, 115, 95), 94);
}

TEST(WaveGeometryTest, OutlineHeights)
{
    const QSizeF size(220, 60);             // mid 30, amplitude 29
    const double fullScale = 29.0 * 0.9192; // 0.92 of the amplitude
    struct Case {
        float high, low;
        double top, bottom;
        const char *why;
    } cases[] = {
        {0.0f, 0.0f, 30.0, 30.0, "silence: a flat line at mid height"},
        {0.002f, -0.002f, 30.0, 30.0, "below the floor: flat"},
        {1.0f, -1.0f, 30.0 - fullScale, 30.0 + fullScale, "full scale: 0.92 of the amplitude"},
        {1.0f, 0.0f, 30.0 - fullScale, 30.0, "only positive samples: the bottom stays flat"},
    };
    for (const Case &c : cases) {
        const auto outline =
            wave::outline(std::vector<WaveformPeak>(116, WaveformPeak{c.low, c.high}), last, size);
        ASSERT_EQ(outline.top.size(), 116u);
        ASSERT_EQ(outline.bottom.size(), 116u);
        for (std::size_t k = 0; k < 116; ++k) {
            EXPECT_NEAR(outline.top[k].y(), c.top, 0.01) << c.why;
            EXPECT_NEAR(outline.bottom[k].y(), c.bottom, 0.01) << c.why;
        }
    }
    // Top left to right, bottom right to left.
    const auto outline = wave::outline(std::vector<WaveformPeak>(116), last, size);
    EXPECT_DOUBLE_EQ(outline.top.back().x(), 220);
    EXPECT_DOUBLE_EQ(outline.bottom.front().x(), 220);
    EXPECT_DOUBLE_EQ(outline.top[20].x(), 0);
    EXPECT_DOUBLE_EQ(outline.bottom.back().x(), outline.top.front().x());
    // A view one point high has no amplitude left: everything is drawn on the centre line.
    const auto flat = wave::outline(std::vector<WaveformPeak>(116, WaveformPeak{-1, 1}), last, QSizeF(50, 1));
    EXPECT_DOUBLE_EQ(flat.top[60].y(), 0.5);
    EXPECT_DOUBLE_EQ(flat.bottom[60].y(), 0.5);
}

TEST(WaveGeometryTest, SmoothCurveRunsThroughTheMidpointsAndEndsOnTheLastPoint)
{
    const std::vector<QPointF> points{{0, 0}, {10, 20}, {30, 0}, {40, 10}};
    QPainterPath path(points.front());
    wave::addSmoothCurve(path, points);
    const std::vector<QPointF> expected{{0, 0}, {5, 10}, {20, 10}, {35, 5}, {40, 10}};
    EXPECT_EQ(segmentEnds(path), expected);
    // The control of each piece is its point, so the curve bends towards it: halfway, the piece
    // from (5, 10) to (20, 10) with control (10, 20) is at (11.25, 15).
    EXPECT_EQ(curveMiddle(path, 1), QPointF(11.25, 15));

    const wave::Outline outline{{{0, 5}, {10, 4}, {20, 5}}, {{20, 6}, {10, 7}, {0, 6}}};
    const QPainterPath body = wave::body(outline);
    const std::vector<QPointF> around{{0, 5},    {5, 4.5}, {15, 4.5}, {20, 5}, {20, 6},
                                      {15, 6.5}, {5, 6.5}, {0, 6},    {0, 5}};
    EXPECT_EQ(segmentEnds(body), around) << "top, down the right side, bottom, closed";
    EXPECT_TRUE(wave::body({}).isEmpty());
}

TEST(WaveGeometryTest, FlattenedCurveFollowsTheSmoothCurve)
{
    const std::vector<QPointF> points{{0, 0}, {10, 20}, {30, 0}, {40, 10}};
    QPainterPath path(points.front());
    wave::addSmoothCurve(path, points);
    const std::vector<QPointF> ends = segmentEnds(path);
    for (const int steps : {1, 2, 5}) {
        const std::vector<QPointF> polyline = wave::flatten(points, steps);
        // Each piece's end is a vertex, `steps` vertices apart, and the final point ends it.
        ASSERT_EQ(polyline.size(), (ends.size() - 2) * std::size_t(steps) + 2) << steps;
        for (std::size_t piece = 0; piece + 1 < ends.size(); ++piece)
            EXPECT_EQ(polyline[piece * std::size_t(steps)], ends[piece]) << steps << " " << piece;
        EXPECT_EQ(polyline.back(), points.back());
    }
    EXPECT_EQ(wave::flatten(points, 2)[3], QPointF(11.25, 15)) << "halfway along the second piece";
    EXPECT_TRUE(wave::flatten({}, 3).empty());
}

TEST(WaveGeometryTest, RimIsALineAlongBothCurves)
{
    struct Case {
        std::vector<QPointF> polyline;
        std::vector<QPointF> expected;
        const char *why;
    } cases[] = {
        {{{0, 5}, {10, 5}}, {{0, 4.1}, {10, 4.1}, {10, 5.9}, {0, 5.9}}, "level: 0.9 above and below"},
        {{{0, 0}, {0, 10}}, {{0.9, 0}, {0.9, 10}, {-0.9, 10}, {-0.9, 0}}, "upright: 0.9 to each side"},
        {{{0, 0}, {3, 4}, {6, 8}},
         {{0.72, -0.54}, {3.72, 3.46}, {6.72, 7.46}, {5.28, 8.54}, {2.28, 4.54}, {-0.72, 0.54}},
         "a slope: across it, not straight up and down"},
    };
    for (const Case &c : cases) {
        const QPolygonF band = wave::band(c.polyline, 1.8);
        ASSERT_EQ(band.size(), qsizetype(c.expected.size())) << c.why;
        for (qsizetype i = 0; i < band.size(); ++i) {
            EXPECT_NEAR(band[i].x(), c.expected[std::size_t(i)].x(), 1e-9) << c.why << " " << i;
            EXPECT_NEAR(band[i].y(), c.expected[std::size_t(i)].y(), 1e-9) << c.why << " " << i;
        }
    }
    EXPECT_TRUE(wave::band({{1, 1}}, 1.8).isEmpty());

    // A flat body from 5 to 8: lines along its top and its bottom, nothing between them.
    const wave::Outline outline{{{0, 5}, {10, 5}, {20, 5}}, {{20, 8}, {10, 8}, {0, 8}}};
    const auto [top, bottom] = wave::rim(outline);
    EXPECT_EQ(top.boundingRect(), QRectF(0, 4.1, 20, 1.8));
    EXPECT_EQ(bottom.boundingRect(), QRectF(0, 7.1, 20, 1.8));
    EXPECT_TRUE(wave::rim({})[0].isEmpty());
}
