#pragma once

#include "speech/WaveformFrame.h"

#include <QImage>
#include <QSize>
#include <optional>
#include <vector>

class QPainter;

namespace talvex {

/// The wave's body and rim, drawn once per frame rather than on every redraw. Consecutive frames
/// share all but their newest few columns, so the picture is kept in a strip several views wide,
/// with each column at a fixed place: a frame that continues the one before only draws its new end.
/// Anything else (the first frame, a gap, a new size, a full strip) draws the whole frame afresh.
class WaveShapeCache final {
  public:
    /// How many view widths the strip holds before it starts over.
    static constexpr int viewsPerStrip = 4;

    /// Makes `frame` (whose smoothed columns are `smoothed`) the one drawn, for a view of `size`.
    void update(const WaveformFrame &frame, const std::vector<WaveformPeak> &smoothed, QSize size,
                qreal ratio);
    /// Draws the shape with the frame's column 0 at `columnZeroX` (logical, rounded to a device pixel).
    void draw(QPainter &painter, double columnZeroX) const;

    /// Whether the shape is drawn for a view of `size` at `ratio`.
    bool fits(QSize size, qreal ratio) const
    {
        return !m_strip.isNull() && size == m_size && ratio == m_ratio;
    }

    /// Columns drawn by the last update: all of them, or only the new end.
    int lastDrawnColumns() const { return m_lastDrawn; }

  private:
    /// Whether `frame` continues the last one drawn, and by how many columns.
    std::optional<int> continuation(const WaveformFrame &frame, QSize size, qreal ratio) const;
    /// Draws columns `first` to the last of the frame into the strip, replacing what was there.
    void drawColumns(const std::vector<WaveformPeak> &smoothed, int first);

    QImage m_strip; ///< body at 0.2 and rim, the strip's column 0 on the left
    QImage m_body;  ///< the body of the part being drawn, opaque, to cut the rim with
    QImage m_rim;   ///< the rim of the part being drawn
    QSize m_size;   ///< the view the strip is drawn for
    qreal m_ratio = 0;
    double m_step = 0; ///< width of a column
    int m_offset = 0;  ///< the strip column of the frame's column 0
    std::vector<WaveformPeak> m_peaks;
    std::optional<double> m_newestTime;
    double m_columnDuration = 0;
    int m_lastDrawn = 0;
};

} // namespace talvex
