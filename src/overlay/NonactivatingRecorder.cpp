#include "NonactivatingRecorder.h"

#include "RecorderView.h"

#include <QBitmap>
#include <QPainter>
#include <QVBoxLayout>

namespace talvex {

NonactivatingRecorder::NonactivatingRecorder(DictationController *controller, RecorderWave::Clock clock)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                           Qt::WindowDoesNotAcceptFocus | Qt::BypassWindowManagerHint),
      m_view(new RecorderView(controller, this, std::move(clock)))
{
    setWindowTitle(QStringLiteral("Talvex Recorder"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    // The window gets a visual with alpha, so the same window can be translucent or masked.
    setAttribute(Qt::WA_TranslucentBackground);
    // Qt writes the X11 window type only onto a native window that exists, so make it first. The
    // type is what keeps the panel from taking the keyboard where nothing else manages it: Xwayland
    // compositors give the keyboard to every unmanaged window that maps, except notifications,
    // menus, tooltips and the like, and sway 1.7 does not look at the input hint.
    create();
    setAttribute(Qt::WA_X11NetWmWindowTypeNotification);
    setFocusPolicy(Qt::NoFocus);
    for (QWidget *child : findChildren<QWidget *>())
        child->setFocusPolicy(Qt::NoFocus);

    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);
    resize(defaultSize);
}

NonactivatingRecorder::~NonactivatingRecorder() = default;

void NonactivatingRecorder::setTranslucent(bool translucent)
{
    m_view->setOpaque(!translucent);
    updateMask();
}

bool NonactivatingRecorder::isTranslucent() const
{
    return !m_view->isOpaque();
}

void NonactivatingRecorder::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    updateMask();
}

void NonactivatingRecorder::updateMask()
{
    if (!m_view->isOpaque()) {
        clearMask();
        return;
    }
    // Without a compositor a transparent pixel shows as black: cut the corners off instead. The
    // mask is drawn as a bitmap so its edge follows the rounded card as closely as pixels allow.
    QBitmap bitmap(size());
    bitmap.fill(Qt::color0);
    QPainter painter(&bitmap);
    painter.setPen(Qt::NoPen);
    painter.setBrush(Qt::color1);
    painter.drawPath(RecorderView::cardShape(rect()));
    painter.end();
    setMask(bitmap);
}

} // namespace talvex
