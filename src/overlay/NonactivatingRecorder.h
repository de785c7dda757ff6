#pragma once

#include "RecorderWave.h"

#include <QWidget>

namespace talvex {

class DictationController;
class RecorderView;

/// The recorder's window: frameless, above other windows, and never focused or activated, so the
/// program the user dictates into keeps the keyboard. The window manager is bypassed altogether
/// (it cannot hand the window focus it never sees), the window is typed as a notification (which
/// a Wayland compositor goes by for such a window under Xwayland), and clicks on it reach the stop
/// button without activating anything.
class NonactivatingRecorder final : public QWidget {
    Q_OBJECT
  public:
    static constexpr QSize defaultSize{386, 141};

    explicit NonactivatingRecorder(DictationController *controller, RecorderWave::Clock clock = {});
    ~NonactivatingRecorder() override;

    RecorderView *view() const { return m_view; }

    /// Translucent over a compositor; otherwise an opaque card with its corners cut away.
    void setTranslucent(bool translucent);
    bool isTranslucent() const;

  protected:
    void resizeEvent(QResizeEvent *event) override;

  private:
    void updateMask();

    RecorderView *m_view;
};

} // namespace talvex
