#pragma once

#include "WaveShapeCache.h"
#include "speech/WaveformFrame.h"

#include <QImage>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <vector>

namespace talvex {

/// The scrolling picture of the microphone: a white body between the smoothed highs and lows of a
/// waveform frame, sliding with the host clock so it moves evenly between frames. It redraws at most
/// 60 times a second, and only while it is on screen and the picture still slides; a silent frame
/// or a frame that has slid to its end stands still without a timer.
class RecorderWave final : public QWidget {
    Q_OBJECT
  public:
    /// Seconds on the host clock (CLOCK_MONOTONIC), the clock of the frames' newest times.
    using Clock = std::function<double()>;

    static constexpr int maximumWidth = 220;
    static constexpr int fixedHeight = 60;

    /// `clock` empty means the monotonic host clock.
    explicit RecorderWave(QWidget *parent = nullptr, Clock clock = {});

    /// Shows `frame`; its columns are smoothed once here, not on every redraw.
    void setFrame(const WaveformFrame &frame);
    const WaveformFrame &frame() const { return m_frame; }

    /// Whether the redraw timer runs.
    bool isAnimating() const { return m_timer.isActive(); }
    /// The drawn shape, for tests and measurements.
    const WaveShapeCache &shapes() const { return m_shapes; }

    /// The picture at host time `now` in a `size` view (transparent where nothing is drawn).
    QImage picture(QSize size, qreal devicePixelRatio, double now);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

  protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

  private:
    void tick();
    void updateTimer();
    /// Draws into m_layer at logical size `size`.
    void render(QSize size, qreal devicePixelRatio, double now);
    /// Draws what does not move, the centre line and the fade, for a view of `size`.
    void renderBackdrop(QSize size, qreal devicePixelRatio);

    Clock m_clock;
    WaveformFrame m_frame;
    std::vector<WaveformPeak> m_smoothed;
    QTimer m_timer;
    // Between two frames the picture only slides sideways, so the shape is drawn once per frame
    // (the first time the frame is shown) and each tick places it.
    WaveShapeCache m_shapes;
    bool m_shapeDrawn = false; ///< m_shapes holds the current frame
    QImage m_layer;            ///< the whole picture before it is faded at both ends
    QImage m_backdrop;         ///< the centre line
    QImage m_fade;             ///< opaque in the middle, clear at both ends
    QSize m_backdropSize;
    qreal m_backdropRatio = 0;
};

} // namespace talvex
