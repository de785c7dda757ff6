#pragma once

#include "RecorderWave.h"
#include "ScreenSource.h"

#include <QObject>
#include <QPointer>
#include <QSize>
#include <functional>
#include <memory>

namespace talvex {

class DictationController;
class NonactivatingRecorder;

/// Owns the recorder window and shows it while a dictation runs: from the first phase after idle
/// until the return to idle. It is placed each time it appears, at the bottom centre of the screen
/// holding the dictation's target window, and stays put while it is shown. Main thread only.
class RecorderPanel final : public QObject {
    Q_OBJECT
  public:
    /// Whether see-through pixels blend with what lies beneath (a compositor runs).
    using Compositing = std::function<bool()>;

    /// The screens as Qt sees them, the X server's compositor state and the host clock.
    explicit RecorderPanel(QObject *parent = nullptr);
    RecorderPanel(std::unique_ptr<ScreenSource> screens, Compositing compositing,
                  RecorderWave::Clock clock = {}, QObject *parent = nullptr);
    ~RecorderPanel() override;

    /// Starts following `controller`'s phase. Call once, after the controller has been activated.
    void connect(DictationController &controller);

    /// The window, absent until first shown; then kept for the life of the panel.
    NonactivatingRecorder *panel() const { return m_panel.get(); }
    /// The window's size: 386 x 141, narrower only on a screen that has less room.
    QSize size() const { return m_size; }

  private:
    /// Shows or hides the window for the controller's phase now.
    void follow();
    void show();

    std::unique_ptr<ScreenSource> m_screens;
    Compositing m_compositing;
    RecorderWave::Clock m_clock;
    QPointer<DictationController> m_controller;
    std::unique_ptr<NonactivatingRecorder> m_panel;
    QSize m_size;
};

} // namespace talvex
