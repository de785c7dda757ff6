#include "WaveShapeCache.h"

#include "WaveGeometry.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace talvex {

namespace {

// Room around the columns for the rim's width and the edge's smoothing.
constexpr double margin = 2.0;
// Columns redrawn left of a frame's new ones: smoothing reaches two columns, a curve piece one more.
constexpr int reach = 4;
// Columns drawn left of the replaced part, so that the curves there start as they do in the whole.
constexpr int lead = 3;

QColor white(double opacity)
{
    QColor colour(Qt::white);
    colour.setAlphaF(float(opacity));
    return colour;
}

void prepare(QImage &image, QSize pixels, qreal ratio)
{
    if (image.size() != pixels)
        image = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
}

} // namespace

std::optional<int> WaveShapeCache::continuation(const WaveformFrame &frame, QSize size, qreal ratio) const
{
    const auto count = static_cast<int>(frame.peaks.size());
    if (m_strip.isNull() || size != m_size || ratio != m_ratio || !frame.newestTime || !m_newestTime ||
        frame.columnDuration != m_columnDuration || count != int(m_peaks.size()) || count <= lead + reach)
        return std::nullopt;
    const double shift = (*frame.newestTime - *m_newestTime) / frame.columnDuration;
    const auto columns = static_cast<int>(std::lround(shift));
    if (columns < 1 || columns > count - lead - reach || std::abs(shift - columns) > 0.01)
        return std::nullopt;
    if (!std::equal(frame.peaks.begin(), frame.peaks.end() - columns, m_peaks.begin() + columns))
        return std::nullopt;
    // The strip must still hold the frame's newest column.
    const double end = margin + m_step * (m_offset + columns + count - 1) + margin;
    if (end * ratio > m_strip.width())
        return std::nullopt;
    return columns;
}

void WaveShapeCache::update(const WaveformFrame &frame, const std::vector<WaveformPeak> &smoothed, QSize size,
                            qreal ratio)
{
    const auto count = static_cast<int>(smoothed.size());
    if (const auto columns = continuation(frame, size, ratio)) {
        m_offset += *columns;
        drawColumns(smoothed, std::max(0, count - 1 - *columns - reach));
    } else {
        m_size = size;
        m_ratio = ratio;
        m_step = size.width() / WaveGeometry::visibleColumns;
        m_offset = 0;
        const QSize pixels =
            (QSizeF(viewsPerStrip * size.width() + 2 * margin, size.height()) * ratio).toSize();
        prepare(m_strip, pixels, ratio);
        drawColumns(smoothed, 0);
    }
    m_peaks = frame.peaks;
    m_newestTime = frame.newestTime;
    m_columnDuration = frame.columnDuration;
}

void WaveShapeCache::drawColumns(const std::vector<WaveformPeak> &smoothed, int first)
{
    const auto count = static_cast<int>(smoothed.size());
    m_lastDrawn = count - first;
    if (count == 0 || m_size.isEmpty())
        return;
    // The part replaced starts on a device pixel at the first column (at the strip's start for the
    // whole frame); its geometry starts a few columns further left so its curves match the whole.
    const int from = std::max(0, first - lead);
    const int left = first == 0 ? 0 : int(std::floor((margin + m_step * (m_offset + first)) * m_ratio));
    // To the frame's end: the strip right of it is still clear.
    const double end = margin + m_step * (m_offset + count - 1) + margin;
    const int right = std::min(m_strip.width(), int(std::ceil(end * m_ratio)) + 1);
    const QSize pixels(right - left, m_strip.height());
    if (pixels.width() <= 0)
        return;
    const double shift = left / m_ratio; // logical
    // The scroll position that puts column `from` at its place in the strip, less the shift.
    const double edge = (m_size.width() - margin + shift) / m_step - (m_offset + from);
    const std::vector<WaveformPeak> part(smoothed.begin() + from, smoothed.end());
    const WaveGeometry::Outline outline = WaveGeometry::outline(part, edge, QSizeF(m_size));
    const QPainterPath body = WaveGeometry::body(outline);

    prepare(m_body, pixels, m_ratio);
    prepare(m_rim, pixels, m_ratio);
    {
        QPainter painter(&m_body);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.fillPath(body, Qt::white);
    }
    // The rim is drawn on its own layer and cut to the body, so only its inner half shows. The cut
    // goes through a whole picture of the body: composing with the path alone would leave the
    // pixels outside it untouched.
    {
        QPainter painter(&m_rim);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(Qt::NoPen);
        painter.setBrush(white(0.92));
        for (const QPolygonF &line : WaveGeometry::rim(outline))
            painter.drawPolygon(line, Qt::WindingFill);
        painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        painter.drawImage(QPointF(0, 0), m_body);
    }
    {
        QPainter painter(&m_strip);
        const QRectF replaced(QPointF(shift, 0), QSizeF(pixels) / m_ratio);
        painter.setCompositionMode(QPainter::CompositionMode_Clear);
        painter.fillRect(replaced, Qt::transparent);
        painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
        painter.setOpacity(0.2);
        painter.drawImage(replaced.topLeft(), m_body);
        painter.setOpacity(1.0);
        painter.drawImage(replaced.topLeft(), m_rim);
    }
}

void WaveShapeCache::draw(QPainter &painter, double columnZeroX) const
{
    if (m_strip.isNull())
        return;
    const double x = columnZeroX - margin - m_step * m_offset;
    painter.drawImage(QPointF(std::round(x * m_ratio) / m_ratio, 0), m_strip);
}

} // namespace talvex
