#include "RecorderSpinner.h"

#include <QPainter>

namespace talvex {

RecorderSpinner::RecorderSpinner(QWidget *parent) : QWidget(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFixedSize(side, side);
    m_timer.setInterval(1000 / spokes);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        m_step = (m_step + 1) % spokes;
        update();
    });
}

void RecorderSpinner::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    m_timer.start();
}

void RecorderSpinner::hideEvent(QHideEvent *event)
{
    QWidget::hideEvent(event);
    m_timer.stop();
}

void RecorderSpinner::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(QRectF(rect()).center());
    const double outer = side / 2.0 - 1.0;
    const double inner = outer * 0.5;
    for (int i = 0; i < spokes; ++i) {
        // The leading spoke is brightest; the ones behind it fade out.
        const int behind = (m_step - i + spokes) % spokes;
        QColor colour(Qt::white);
        colour.setAlphaF(float(0.9 - 0.7 * behind / double(spokes - 1)));
        painter.setPen(QPen(colour, 1.6, Qt::SolidLine, Qt::RoundCap));
        painter.save();
        painter.rotate(360.0 * i / spokes);
        painter.drawLine(QPointF(0, -inner), QPointF(0, -outer));
        painter.restore();
    }
}

} // namespace talvex
