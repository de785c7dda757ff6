#pragma once

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
    const std::vector<WaveformPeak> &smoothed() const { return m_smoothed; }

    /// Whether the redraw timer runs.
    bool isAnimating() const { return m_timer.isActive(); }

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

    Clock m_clock;
    WaveformFrame m_frame;
    std::vector<WaveformPeak> m_smoothed;
    QTimer m_timer;
    QImage m_layer; ///< the whole picture before it is faded at both ends
    QImage m_rim;   ///< the rim, before it is cut to the body
    QImage m_body;  ///< the body alone, opaque, to cut the rim with
};

} // namespace talvex
