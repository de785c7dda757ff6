#pragma once

#include <QColor>
#include <QPixmap>
#include <QRectF>

class QPainter;

// The two symbols of the recorder, drawn as vectors so they stay crisp at any scale and white on the
// dark card whatever icon theme the desktop has.
namespace talvex::RecorderSymbols {

/// Size of the microphone symbol in device-independent pixels.
inline constexpr QSize microphoneSize{12, 16};

/// A filled microphone: capsule, cradle, stem and foot.
QPixmap microphone(qreal devicePixelRatio, const QColor &colour);

/// A filled square with softened corners, centred in `box`, for the stop button.
void drawStop(QPainter &painter, const QRectF &box, const QColor &colour);

} // namespace talvex::RecorderSymbols
