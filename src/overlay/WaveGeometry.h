#pragma once

#include "speech/WaveformFrame.h"

#include <QPainterPath>
#include <QPointF>
#include <QPolygonF>
#include <QSizeF>
#include <array>
#include <optional>
#include <vector>

// The geometry of the recorder's waveform, apart from any widget: smoothing of a frame's columns,
// the level curve, the scroll position on the host clock and the outline drawn through them.
namespace talvex::WaveGeometry {

/// Column widths across the view: the column at the scroll position sits on the right edge and the
/// one 95 columns older on the left edge.
inline constexpr double visibleColumns = 95.0;
/// How far the picture trails the newest column's time, in seconds.
inline constexpr double drawingLag = 0.125;
/// The most frequent redraw while the picture slides (60 per second).
inline constexpr int tickMilliseconds = 17;

/// Each column's low and high as the mean of its neighbours j-2 ... j+2 weighted 1, 2, 3, 2, 1,
/// over the neighbours that exist (the two columns at each end use fewer).
std::vector<WaveformPeak> smooth(const std::vector<WaveformPeak> &peaks);

/// Share of the amplitude drawn for a sample value: 0 up to 0.0025, rising steeply, about 0.92 at
/// full scale; computed in 32-bit floats. Values that are not numbers draw flat.
float level(float value);

/// The fractional column drawn on the right edge at host time `now`: the newest column's time lags
/// 0.125 s behind, kept between column 95 and the last column. The last column for a frame without
/// time (or without a usable column duration).
double rightEdge(std::size_t columnCount, std::optional<double> newestTime, double columnDuration,
                 double now);
double rightEdge(const WaveformFrame &frame, double now);

/// Whether the picture would still slide after `now`: the frame has a time and the scroll position
/// has not yet reached the last column. A picture that stands still needs no redraw.
bool slides(const WaveformFrame &frame, double now);

/// Horizontal position of column `k` in a view `width` wide.
double columnX(double k, double rightEdge, double width);

/// The two outlines of the body: the top through every column's high, left to right, and the
/// bottom through every column's low, right to left.
struct Outline {
    std::vector<QPointF> top;
    std::vector<QPointF> bottom;
};
Outline outline(const std::vector<WaveformPeak> &smoothed, double rightEdge, QSizeF size);

/// Continues `path` (whose current point is points[0]) smoothly through `points`: a quadratic curve
/// to each midpoint with the point as control, then a straight last step to the final point.
void addSmoothCurve(QPainterPath &path, const std::vector<QPointF> &points);

/// The filled body: top curve, straight down to the rightmost bottom point, bottom curve, closed.
QPainterPath body(const Outline &outline);
/// Width of the line along the body's outline; half of it lies inside the body.
inline constexpr double rimWidth = 1.8;

/// The smooth curve through `points` (as addSmoothCurve draws it) as a polyline: `steps` straight
/// pieces for each quadratic piece.
std::vector<QPointF> flatten(const std::vector<QPointF> &points, int steps);

/// The band `width` wide centred on `polyline`: a thick line without caps or joins.
QPolygonF band(const std::vector<QPointF> &polyline, double width);

/// The rim: a `rimWidth` line along the top and one along the bottom curve, of which only the half
/// inside the body shows once they are cut to the body. Built as bands rather than stroked, because
/// Qt's stroker costs several times the rest of a frame's drawing; and kept apart, because Qt fills
/// the two faster one by one than as one shape.
std::array<QPolygonF, 2> rim(const Outline &outline);

} // namespace talvex::WaveGeometry
