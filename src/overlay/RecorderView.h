#pragma once

#include "RecorderWave.h"
#include "core/DictationController.h"

#include <QPainterPath>
#include <QPointer>
#include <QWidget>

class QLabel;

namespace talvex {

class RecorderSpinner;
class RecorderStopButton;
class RecorderTranscript;

/// The recorder's content: a dark rounded card with three lines of text above a control row. While
/// recording the row holds the microphone symbol, the waveform and the stop button; in the other
/// phases a small spinner. It shows the controller's phase, live text and waveform, and the stop
/// button asks the controller to stop recording.
class RecorderView final : public QWidget {
    Q_OBJECT
  public:
    static constexpr int inset = 2;
    static constexpr qreal cornerRadius = 17;
    static constexpr int horizontalPadding = 14;
    static constexpr int stackSpacing = 7;
    static constexpr int rowHeight = 62;
    static constexpr int rowSpacing = 10;
    static constexpr int wavePadding = 8;

    /// Follows `controller`; without one the view shows only what it is told through the setters
    /// (for pictures of its states) and the stop button does nothing.
    explicit RecorderView(DictationController *controller, QWidget *parent = nullptr,
                          RecorderWave::Clock clock = {});
    ~RecorderView() override;

    void setPhase(Phase phase);
    void setLiveText(const QString &text);
    void setWaveform(const WaveformFrame &frame);
    Phase phase() const { return m_phase; }

    /// Without a compositor nothing can show through: the card is then painted opaque, and the
    /// window cuts its corners away with `cardShape` as mask.
    void setOpaque(bool opaque);
    bool isOpaque() const { return m_opaque; }
    /// The rounded card inside a view of `bounds`.
    static QPainterPath cardShape(const QRectF &bounds);

    RecorderTranscript *transcript() const { return m_transcript; }
    QLabel *microphone() const { return m_microphone; }
    RecorderWave *wave() const { return m_wave; }
    RecorderStopButton *stopButton() const { return m_stop; }
    RecorderSpinner *spinner() const { return m_spinner; }

  protected:
    void paintEvent(QPaintEvent *event) override;

  private:
    void bind(DictationController *controller);
    void stop();

    QPointer<DictationController> m_controller;
    Phase m_phase = Phase::idle;
    bool m_opaque = false;
    RecorderTranscript *m_transcript = nullptr;
    QLabel *m_microphone = nullptr;
    RecorderWave *m_wave = nullptr;
    RecorderStopButton *m_stop = nullptr;
    RecorderSpinner *m_spinner = nullptr;
};

} // namespace talvex
