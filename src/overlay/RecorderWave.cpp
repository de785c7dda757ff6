#include "RecorderWave.h"

#include "WaveGeometry.h"
#include "platform/SteadyClock.h"

#include <QLinearGradient>
#include <QPainter>

namespace talvex {

namespace {

QColor white(double opacity)
{
    QColor colour(Qt::white);
    colour.setAlphaF(float(opacity));
    return colour;
}

void prepare(QImage &image, QSize size, qreal devicePixelRatio)
{
    const QSize pixels = (QSizeF(size) * devicePixelRatio).toSize();
    if (image.size() != pixels)
        image = QImage(pixels, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(devicePixelRatio);
    image.fill(Qt::transparent);
}

} // namespace

RecorderWave::RecorderWave(QWidget *parent, Clock clock)
    : QWidget(parent), m_clock(clock ? std::move(clock) : Clock(&SteadyClock::monotonicSeconds)),
      m_frame(WaveformFrame::silence()), m_smoothed(WaveGeometry::smooth(m_frame.peaks))
{
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    // As wide as it may be when there is room, narrower when the panel is; spare room goes elsewhere.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    setMaximumWidth(maximumWidth);
    setFixedHeight(fixedHeight);
    m_timer.setTimerType(Qt::PreciseTimer);
    m_timer.setInterval(WaveGeometry::tickMilliseconds);
    connect(&m_timer, &QTimer::timeout, this, &RecorderWave::tick);
}

void RecorderWave::setFrame(const WaveformFrame &frame)
{
    m_frame = frame;
    m_smoothed = WaveGeometry::smooth(m_frame.peaks);
    m_shapeDrawn = false;
    // While the timer runs on, its next tick shows the frame; repainting now as well would only add
    // a picture a few milliseconds before that one.
    const bool ticking = m_timer.isActive();
    updateTimer();
    if (!ticking || !m_timer.isActive())
        update();
}

QSize RecorderWave::sizeHint() const
{
    return QSize(maximumWidth, fixedHeight);
}

QSize RecorderWave::minimumSizeHint() const
{
    return QSize(40, fixedHeight);
}

void RecorderWave::tick()
{
    update();
    updateTimer();
}

void RecorderWave::updateTimer()
{
    const bool wanted = isVisible() && WaveGeometry::slides(m_frame, m_clock());
    if (wanted && !m_timer.isActive())
        m_timer.start();
    else if (!wanted && m_timer.isActive())
        m_timer.stop();
}

void RecorderWave::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    updateTimer();
}

void RecorderWave::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_timer.stop();
}

void RecorderWave::renderBackdrop(QSize size, qreal devicePixelRatio)
{
    const double w = size.width();
    const double mid = size.height() / 2.0;
    prepare(m_backdrop, size, devicePixelRatio);
    {
        QPainter painter(&m_backdrop);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setPen(QPen(white(0.18), 0.5));
        painter.drawLine(QPointF(0, mid), QPointF(w, mid));
    }
    // Faded to nothing at both ends, fully visible in the middle.
    prepare(m_fade, size, devicePixelRatio);
    {
        QPainter painter(&m_fade);
        QLinearGradient fade(0, 0, w, 0);
        fade.setColorAt(0.0, Qt::transparent);
        fade.setColorAt(0.5, Qt::black);
        fade.setColorAt(1.0, Qt::transparent);
        painter.fillRect(QRectF(0, 0, w, size.height()), fade);
    }
    m_backdropSize = size;
    m_backdropRatio = devicePixelRatio;
}

void RecorderWave::render(QSize size, qreal devicePixelRatio, double now)
{
    if (size.isEmpty()) {
        prepare(m_layer, size, devicePixelRatio);
        return;
    }
    if (m_backdropSize != size || m_backdropRatio != devicePixelRatio)
        renderBackdrop(size, devicePixelRatio);
    if (!m_shapeDrawn || !m_shapes.fits(size, devicePixelRatio)) {
        m_shapes.update(m_frame, m_smoothed, size, devicePixelRatio);
        m_shapeDrawn = true;
    }

    // Each tick: the centre line, the shape with column 0 where the scroll position puts it (to the
    // nearest device pixel, so the shape is copied rather than resampled), then the fade.
    m_layer = m_backdrop.copy();
    m_layer.setDevicePixelRatio(devicePixelRatio);
    QPainter painter(&m_layer);
    m_shapes.draw(painter, WaveGeometry::columnX(0, WaveGeometry::rightEdge(m_frame, now), size.width()));
    painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    painter.drawImage(QPointF(0, 0), m_fade);
}

QImage RecorderWave::picture(QSize size, qreal devicePixelRatio, double now)
{
    render(size, devicePixelRatio, now);
    return m_layer;
}

void RecorderWave::paintEvent(QPaintEvent *)
{
    render(size(), devicePixelRatioF(), m_clock());
    QPainter painter(this);
    painter.drawImage(QPointF(0, 0), m_layer);
}

} // namespace talvex
