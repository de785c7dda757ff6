#include "RecorderSymbols.h"

#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace talvex::RecorderSymbols {

QPixmap microphone(qreal devicePixelRatio, const QColor &colour)
{
    const QSize size = microphoneSize;
    QPixmap pixmap(size * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);

    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    // Capsule.
    painter.drawRoundedRect(QRectF(3.25, 0.5, 5.5, 9.5), 2.75, 2.75);

    // Cradle around the capsule's lower half, stem and foot, all in one stroke width.
    QPen pen(colour, 1.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    QPainterPath cradle;
    cradle.moveTo(1.4, 7.0);
    cradle.arcTo(QRectF(1.4, 2.4, 9.2, 9.2), 180.0, 180.0);
    painter.drawPath(cradle);
    painter.drawLine(QPointF(6.0, 11.7), QPointF(6.0, 14.6));
    painter.drawLine(QPointF(3.6, 14.8), QPointF(8.4, 14.8));
    return pixmap;
}

void drawStop(QPainter &painter, const QRectF &box, const QColor &colour)
{
    const double side = std::min(box.width(), box.height()) * 0.62;
    const QRectF square(box.center() - QPointF(side / 2.0, side / 2.0), QSizeF(side, side));
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(colour);
    painter.drawRoundedRect(square, side * 0.18, side * 0.18);
    painter.restore();
}

} // namespace talvex::RecorderSymbols
