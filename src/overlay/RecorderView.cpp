#include "RecorderView.h"

#include "RecorderAccessibility.h"
#include "RecorderSpinner.h"
#include "RecorderStatus.h"
#include "RecorderStopButton.h"
#include "RecorderSymbols.h"
#include "RecorderTranscript.h"

#include <QApplication>
#include <QBoxLayout>
#include <QLabel>
#include <QPaintEvent>
#include <QPainter>

namespace talvex {

namespace {

QColor white(double opacity)
{
    QColor colour(Qt::white);
    colour.setAlphaF(float(opacity));
    return colour;
}

// The card: a dark material with a black veil at 0.26 over it. Behind glass (with a compositor)
// the material lets the desktop show through a little; without one the same colour is solid.
const QColor material(40, 40, 44, 204);
const QColor veil(0, 0, 0, 66);
const QColor solidCard(29, 29, 32);
// The faintest foreground of the dark scheme, for the card's edge.
const QColor edge = white(0.12);
const QColor shadow(0, 0, 0, 70);

} // namespace

RecorderView::RecorderView(DictationController *controller, QWidget *parent, RecorderWave::Clock clock)
    : QWidget(parent)
{
    // Before any child exists: a child announces its name as it is made, and the interface a
    // screen reader gets then is kept for its life.
    RecorderAccessibility::install();
    RecorderAccessibility::presentAsContainer(this);
    m_transcript = new RecorderTranscript(this);
    m_microphone = new QLabel(this);
    m_wave = new RecorderWave(this, std::move(clock));
    m_stop = new RecorderStopButton(this);
    m_spinner = new RecorderSpinner(this);
    RecorderAccessibility::hide(m_wave);
    RecorderAccessibility::hide(m_spinner);
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TranslucentBackground);

    m_microphone->setPixmap(RecorderSymbols::microphone(qApp->devicePixelRatio(), Qt::white));
    m_microphone->setFixedSize(RecorderSymbols::microphoneSize);
    m_microphone->setFocusPolicy(Qt::NoFocus);
    m_microphone->setAccessibleName(QStringLiteral("Microphone recording"));

    m_stop->setAccessibleName(QStringLiteral("Stop recording"));
    m_stop->setToolTip(QStringLiteral("Stop recording and paste the transcript"));
    m_stop->setAccessibleDescription(QStringLiteral("Stop recording and paste the transcript"));
    connect(m_stop, &QAbstractButton::clicked, this, &RecorderView::stop);

    auto *row = new QHBoxLayout;
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    row->addStrut(rowHeight);
    row->addWidget(m_spinner, 0, Qt::AlignVCenter);
    row->addWidget(m_microphone, 0, Qt::AlignVCenter);
    row->addSpacing(rowSpacing + wavePadding);
    row->addWidget(m_wave, 0, Qt::AlignVCenter);
    row->addSpacing(wavePadding + rowSpacing);
    row->addWidget(m_stop, 0, Qt::AlignVCenter);
    row->addStretch(1);

    auto *column = new QVBoxLayout(this);
    column->setContentsMargins(inset + horizontalPadding, inset, inset + horizontalPadding, inset);
    column->setSpacing(0);
    column->addStretch(1);
    column->addWidget(m_transcript);
    column->addSpacing(stackSpacing);
    column->addLayout(row);
    column->addStretch(1);

    setPhase(Phase::idle);
    if (controller)
        bind(controller);
}

RecorderView::~RecorderView() = default;

void RecorderView::bind(DictationController *controller)
{
    m_controller = controller;
    connect(controller, &DictationController::phaseChanged, this,
            [this] { setPhase(m_controller->phase()); });
    connect(controller, &DictationController::liveTextChanged, this,
            [this] { setLiveText(m_controller->liveText()); });
    connect(controller, &DictationController::waveformChanged, this,
            [this] { setWaveform(m_controller->waveform()); });
    setWaveform(controller->waveform());
    setLiveText(controller->liveText());
    setPhase(controller->phase());
}

void RecorderView::setPhase(Phase phase)
{
    m_phase = phase;
    m_transcript->setStatus(RecorderStatus::sentence(phase));
    const bool recording = phase == Phase::recording;
    m_microphone->setVisible(recording);
    m_wave->setVisible(recording);
    m_stop->setVisible(recording);
    m_spinner->setVisible(!recording);
}

void RecorderView::setLiveText(const QString &text)
{
    m_transcript->setText(text);
}

void RecorderView::setWaveform(const WaveformFrame &frame)
{
    m_wave->setFrame(frame);
}

void RecorderView::stop()
{
    if (m_controller)
        m_controller->stopRecording();
}

void RecorderView::setOpaque(bool opaque)
{
    if (opaque == m_opaque)
        return;
    m_opaque = opaque;
    update();
}

QPainterPath RecorderView::cardShape(const QRectF &bounds)
{
    QPainterPath shape;
    shape.addRoundedRect(bounds.adjusted(inset, inset, -inset, -inset), cornerRadius, cornerRadius);
    return shape;
}

void RecorderView::paintEvent(QPaintEvent *event)
{
    QPainter painter(this);
    const QRectF card = QRectF(rect()).adjusted(inset, inset, -inset, -inset);
    // The wave repaints its strip up to 60 times a second; that strip lies clear of the card's
    // corners and edge, where the card is one flat colour.
    const QRectF flat = card.adjusted(cornerRadius, 1.5, -cornerRadius, -1.5);
    if (flat.contains(QRectF(event->rect()))) {
        if (m_opaque) {
            painter.fillRect(event->rect(), solidCard);
        } else {
            painter.fillRect(event->rect(), material);
            painter.fillRect(event->rect(), veil);
        }
        return;
    }
    painter.setRenderHint(QPainter::Antialiasing);
    const QPainterPath shape = cardShape(rect());
    if (m_opaque) {
        painter.fillPath(shape, solidCard);
    } else {
        // A soft line just outside the card stands in for the panel's shadow.
        painter.setPen(QPen(shadow, 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawRoundedRect(card.adjusted(-0.75, -0.75, 0.75, 0.75), cornerRadius + 0.75,
                                cornerRadius + 0.75);
        painter.fillPath(shape, material);
        painter.fillPath(shape, veil);
    }
    // The edge is stroked inside the card: a 1-point line whose outer side lies on the card's edge.
    painter.setPen(QPen(edge, 1.0));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(card.adjusted(0.5, 0.5, -0.5, -0.5), cornerRadius - 0.5, cornerRadius - 0.5);
}

} // namespace talvex
