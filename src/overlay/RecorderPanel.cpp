#include "RecorderPanel.h"

#include "CompositorProbe.h"
#include "NonactivatingRecorder.h"
#include "OverlayLogging.h"
#include "PanelPlacement.h"
#include "QtScreenSource.h"
#include "core/DictationController.h"

namespace talvex {

RecorderPanel::RecorderPanel(QObject *parent)
    : RecorderPanel(std::make_unique<QtScreenSource>(), &CompositorProbe::active, {}, parent)
{
}

RecorderPanel::RecorderPanel(std::unique_ptr<ScreenSource> screens, Compositing compositing,
                             RecorderWave::Clock clock, QObject *parent)
    : QObject(parent), m_screens(std::move(screens)), m_compositing(std::move(compositing)),
      m_clock(std::move(clock)), m_size(NonactivatingRecorder::defaultSize)
{
}

RecorderPanel::~RecorderPanel() = default;

void RecorderPanel::connect(DictationController &controller)
{
    m_controller = &controller;
    // Queued: a dictation sets its target window and its phase in one go, and the panel must see
    // both before it places itself. The queued call is dropped if the panel goes first, and does
    // nothing if the controller has gone.
    QObject::connect(&controller, &DictationController::phaseChanged, this, &RecorderPanel::follow,
                     Qt::QueuedConnection);
    follow();
}

void RecorderPanel::follow()
{
    if (!m_controller)
        return;
    if (m_controller->phase() != Phase::idle)
        show();
    else if (m_panel)
        m_panel->hide();
}

void RecorderPanel::show()
{
    if (!m_panel)
        m_panel = std::make_unique<NonactivatingRecorder>(m_controller.data(), m_clock);
    if (m_panel->isVisible())
        return;
    const auto frame = PanelPlacement::frame(*m_screens, m_controller->recordingWindow(), m_size);
    if (!frame) {
        qCInfo(lcOverlay, "No screen to show the recorder on");
        return;
    }
    const bool translucent = m_compositing && m_compositing();
    m_panel->setTranslucent(translucent);
    m_panel->setGeometry(*frame);
    m_panel->show();
    m_panel->raise();
    qCDebug(lcOverlay, "Recorder shown at %d,%d, %dx%d, %s", frame->x(), frame->y(), frame->width(),
            frame->height(), translucent ? "translucent" : "opaque");
}

} // namespace talvex
