#include "RecorderStopButton.h"

#include "RecorderSymbols.h"

#include <QPainter>

namespace talvex {

namespace {

constexpr int horizontalPadding = 7;
constexpr int verticalPadding = 3;

QColor white(double opacity)
{
    QColor colour(Qt::white);
    colour.setAlphaF(float(opacity));
    return colour;
}

} // namespace

RecorderStopButton::RecorderStopButton(QWidget *parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::ArrowCursor);
    setAttribute(Qt::WA_Hover);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setFixedSize(sizeHint());
}

QSize RecorderStopButton::sizeHint() const
{
    return QSize(symbolFrame.width() + 2 * horizontalPadding, symbolFrame.height() + 2 * verticalPadding);
}

void RecorderStopButton::enterEvent(QEnterEvent *event)
{
    update();
    QAbstractButton::enterEvent(event);
}

void RecorderStopButton::leaveEvent(QEvent *event)
{
    update();
    QAbstractButton::leaveEvent(event);
}

void RecorderStopButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    // A bezel a little lighter than the card, lighter still under the pointer, darker when pressed.
    const double fill = isDown() ? 0.10 : underMouse() ? 0.24 : 0.17;
    const QRectF bezel = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QPen(white(0.22), 1.0));
    painter.setBrush(white(fill));
    painter.drawRoundedRect(bezel, 5.0, 5.0);
    const QRectF symbol(
        QPointF((width() - symbolFrame.width()) / 2.0, (height() - symbolFrame.height()) / 2.0),
        QSizeF(symbolFrame));
    RecorderSymbols::drawStop(painter, symbol, white(isEnabled() ? 0.92 : 0.4));
}

} // namespace talvex
