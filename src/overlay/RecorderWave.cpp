#include "RecorderWave.h"

#include "WaveGeometry.h"
#include "platform/SteadyClock.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

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
    update();
    updateTimer();
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

void RecorderWave::render(QSize size, qreal devicePixelRatio, double now)
{
    prepare(m_layer, size, devicePixelRatio);
    if (size.isEmpty())
        return;
    const double w = size.width();
    const double mid = size.height() / 2.0;
    const WaveGeometry::Outline outline =
        WaveGeometry::outline(m_smoothed, WaveGeometry::rightEdge(m_frame, now), QSizeF(size));
    const QPainterPath body = WaveGeometry::body(outline);

    QPainter painter(&m_layer);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setClipRect(QRectF(0, 0, w, size.height()));
    painter.setPen(QPen(white(0.18), 0.5));
    painter.drawLine(QPointF(0, mid), QPointF(w, mid));
    painter.fillPath(body, white(0.2));

    // The rim is stroked on its own layer and cut to the body, so only its inner half shows. The
    // cut goes through a whole picture of the body: composing with the path alone would leave the
    // pixels outside it untouched.
    prepare(m_body, size, devicePixelRatio);
    prepare(m_rim, size, devicePixelRatio);
    {
        QPainter shape(&m_body);
        shape.setRenderHint(QPainter::Antialiasing);
        shape.fillPath(body, Qt::black);
    }
    {
        QPainter rim(&m_rim);
        rim.setRenderHint(QPainter::Antialiasing);
        rim.strokePath(WaveGeometry::rim(outline),
                       QPen(white(0.92), 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        rim.setCompositionMode(QPainter::CompositionMode_DestinationIn);
        rim.drawImage(QPointF(0, 0), m_body);
    }
    painter.drawImage(QPointF(0, 0), m_rim);

    // Faded to nothing at both ends, fully visible in the middle.
    QLinearGradient fade(0, 0, w, 0);
    fade.setColorAt(0.0, Qt::transparent);
    fade.setColorAt(0.5, Qt::black);
    fade.setColorAt(1.0, Qt::transparent);
    painter.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    painter.fillRect(QRectF(0, 0, w, size.height()), fade);
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
