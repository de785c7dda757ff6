#pragma once

#include <QAbstractButton>

namespace talvex {

/// The recorder's small bordered button with the stop symbol. It never takes keyboard focus, so
/// clicking it leaves the focus where the user is typing.
class RecorderStopButton final : public QAbstractButton {
    Q_OBJECT
  public:
    /// The symbol's frame inside the bezel.
    static constexpr QSize symbolFrame{18, 16};

    explicit RecorderStopButton(QWidget *parent = nullptr);

    QSize sizeHint() const override;

  protected:
    void paintEvent(QPaintEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void leaveEvent(QEvent *event) override;
};

} // namespace talvex
