#pragma once

#include <QTimer>
#include <QWidget>

namespace talvex {

/// A small indeterminate progress spinner: twelve spokes whose brightness turns around. It steps
/// twelve times a second while it is on screen and has no timer otherwise.
class RecorderSpinner final : public QWidget {
    Q_OBJECT
  public:
    static constexpr int side = 16;
    static constexpr int spokes = 12;

    explicit RecorderSpinner(QWidget *parent = nullptr);

    bool isAnimating() const { return m_timer.isActive(); }
    int step() const { return m_step; }

    QSize sizeHint() const override { return QSize(side, side); }

  protected:
    void paintEvent(QPaintEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void hideEvent(QHideEvent *event) override;

  private:
    QTimer m_timer;
    int m_step = 0;
};

} // namespace talvex
