#include "WaveGeometry.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace talvex::WaveGeometry {

std::vector<WaveformPeak> smooth(const std::vector<WaveformPeak> &peaks)
{
    static constexpr std::array<float, 5> weights{1.0f, 2.0f, 3.0f, 2.0f, 1.0f};
    const auto count = static_cast<std::ptrdiff_t>(peaks.size());
    std::vector<WaveformPeak> smoothed(peaks.size());
    for (std::ptrdiff_t j = 0; j < count; ++j) {
        float low = 0.0f;
        float high = 0.0f;
        float total = 0.0f;
        for (std::ptrdiff_t offset = -2; offset <= 2; ++offset) {
            const std::ptrdiff_t neighbour = j + offset;
            if (neighbour < 0 || neighbour >= count)
                continue;
            const float weight = weights[static_cast<std::size_t>(offset + 2)];
            low += weight * peaks[static_cast<std::size_t>(neighbour)].low;
            high += weight * peaks[static_cast<std::size_t>(neighbour)].high;
            total += weight;
        }
        smoothed[static_cast<std::size_t>(j)] = WaveformPeak{low / total, high / total};
    }
    return smoothed;
}

float level(float value)
{
    float x = value - 0.0025f;
    // Written so that NaN falls to 0 too: a point without a number cannot be drawn.
    if (!(x > 0.0f))
        x = 0.0f;
    x = std::min(x, 1.0f);
    return 1.0f - std::exp(-2.52f * std::pow(x, 0.58f));
}

double rightEdge(std::size_t columnCount, std::optional<double> newestTime, double columnDuration, double now)
{
    const double last = columnCount == 0 ? 0.0 : double(columnCount - 1);
    if (!newestTime || !(columnDuration > 0.0) || !std::isfinite(*newestTime) || !std::isfinite(now))
        return last;
    const double position = last + (now - drawingLag - *newestTime) / columnDuration;
    return std::min(last, std::max(visibleColumns, position));
}

double rightEdge(const WaveformFrame &frame, double now)
{
    return rightEdge(frame.peaks.size(), frame.newestTime, frame.columnDuration, now);
}

bool slides(const WaveformFrame &frame, double now)
{
    if (!frame.newestTime || frame.peaks.empty())
        return false;
    return rightEdge(frame, now) < double(frame.peaks.size() - 1);
}

double columnX(double k, double rightEdge, double width)
{
    return width + (width / visibleColumns) * (k - rightEdge);
}

Outline outline(const std::vector<WaveformPeak> &smoothed, double rightEdge, QSizeF size)
{
    const double mid = size.height() / 2.0;
    const double amplitude = std::max(mid - 1.0, 0.0);
    Outline result;
    result.top.reserve(smoothed.size());
    result.bottom.reserve(smoothed.size());
    for (std::size_t k = 0; k < smoothed.size(); ++k) {
        result.top.emplace_back(columnX(double(k), rightEdge, size.width()),
                                mid - amplitude * double(level(smoothed[k].high)));
    }
    for (std::size_t k = smoothed.size(); k-- > 0;) {
        result.bottom.emplace_back(columnX(double(k), rightEdge, size.width()),
                                   mid + amplitude * double(level(-smoothed[k].low)));
    }
    return result;
}

void addSmoothCurve(QPainterPath &path, const std::vector<QPointF> &points)
{
    if (points.empty())
        return;
    for (std::size_t i = 0; i + 1 < points.size(); ++i)
        path.quadTo(points[i], (points[i] + points[i + 1]) / 2.0);
    path.quadTo(points.back(), points.back());
}

QPainterPath body(const Outline &outline)
{
    QPainterPath path;
    if (outline.top.empty() || outline.bottom.empty())
        return path;
    path.moveTo(outline.top.front());
    addSmoothCurve(path, outline.top);
    path.lineTo(outline.bottom.front());
    addSmoothCurve(path, outline.bottom);
    path.closeSubpath();
    return path;
}

std::vector<QPointF> flatten(const std::vector<QPointF> &points, int steps)
{
    std::vector<QPointF> polyline;
    if (points.empty())
        return polyline;
    steps = std::max(steps, 1);
    polyline.reserve(points.size() * std::size_t(steps) + 1);
    polyline.push_back(points.front());
    // The same pieces as addSmoothCurve: from each midpoint to the next, bent towards the point
    // between them; the first starts at points[0], the last is straight to the final point.
    QPointF start = points.front();
    for (std::size_t i = 0; i + 1 < points.size(); ++i) {
        const QPointF control = points[i];
        const QPointF end = (points[i] + points[i + 1]) / 2.0;
        for (int step = 1; step <= steps; ++step) {
            const double t = double(step) / steps;
            polyline.push_back((1 - t) * (1 - t) * start + 2 * (1 - t) * t * control + t * t * end);
        }
        start = end;
    }
    polyline.push_back(points.back());
    return polyline;
}

QPolygonF band(const std::vector<QPointF> &polyline, double width)
{
    QPolygonF band;
    if (polyline.size() < 2)
        return band;
    band.reserve(qsizetype(2 * polyline.size()));
    // Each vertex moved across the line by half the width: forwards on the left, back on the right.
    auto across = [&](std::size_t i) {
        const QPointF before = polyline[i == 0 ? 0 : i - 1];
        const QPointF after = polyline[std::min(i + 1, polyline.size() - 1)];
        const QPointF direction = after - before;
        const double length = std::hypot(direction.x(), direction.y());
        // The right-hand normal in screen coordinates (y grows downwards).
        return length > 0 ? QPointF(-direction.y(), direction.x()) * (width / 2 / length) : QPointF();
    };
    for (std::size_t i = 0; i < polyline.size(); ++i)
        band << polyline[i] - across(i);
    for (std::size_t i = polyline.size(); i-- > 0;)
        band << polyline[i] + across(i);
    return band;
}

std::array<QPolygonF, 2> rim(const Outline &outline)
{
    constexpr int steps = 3;
    return {band(flatten(outline.top, steps), rimWidth), band(flatten(outline.bottom, steps), rimWidth)};
}

} // namespace talvex::WaveGeometry
