#include "DictationController.h"

#include "core/ControllerTexts.h"

#include <QDir>
#include <QStandardPaths>
#include <utility>

// The controller's state and published properties, activation and the return to idle. Its tasks
// live beside it, one file per group: ControllerSessionStart, ControllerCompletion, ControllerLibrary
// and ControllerPermissions.

namespace talvex {

DictationController::DictationController(ControllerServices services, QObject *parent)
    : QObject(parent), m_services(std::move(services)), m_waveform(WaveformFrame::silence()),
      m_speechStatus(ControllerTexts::checkingModel()),
      m_libraryPath(m_services.libraryPath.isEmpty() ? defaultLibraryPath() : m_services.libraryPath)
{
    m_modelStatus = ControllerTexts::modelStatus(m_services.languageModel->availability());
    m_shortcut =
        std::make_unique<GlobalShortcut>(*m_services.hotKeys, *m_services.modifierWatcher, *m_services.clock);
    loadLibrary();
}

DictationController::~DictationController()
{
    // Stop the timers of whatever still waits; their continuations find the controller gone.
    if (m_preparationTimeout)
        m_preparationTimeout->cancel();
    if (m_taskCancellation)
        m_taskCancellation->cancel();
}

QString DictationController::defaultLibraryPath()
{
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return QDir(base).filePath(QStringLiteral("Talvex/Library.json"));
}

// --- Published setters: texts, flags, phase, window frame and locales notify only on change; the
// waveform, the latest transcript, the press count and the library on every assignment.

void DictationController::setPhase(Phase phase)
{
    notifyOnChange(m_phase, phase, &DictationController::phaseChanged);
}

void DictationController::setLiveText(const QString &text)
{
    notifyOnChange(m_liveText, text, &DictationController::liveTextChanged);
}

void DictationController::setWaveform(const WaveformFrame &frame)
{
    m_waveform = frame;
    emit waveformChanged();
}

void DictationController::setRecordingWindow(const std::optional<QRectF> &frame)
{
    notifyOnChange(m_recordingWindow, frame, &DictationController::recordingWindowChanged);
}

void DictationController::setLatest(const std::optional<Transcript> &transcript)
{
    m_latest = transcript;
    emit latestChanged();
}

void DictationController::setLocales(const QStringList &locales)
{
    notifyOnChange(m_locales, locales, &DictationController::localesChanged);
}

void DictationController::setShortcutReady(bool ready)
{
    notifyOnChange(m_shortcutReady, ready, &DictationController::shortcutReadyChanged);
}

void DictationController::setModelStatus(const QString &status)
{
    notifyOnChange(m_modelStatus, status, &DictationController::modelStatusChanged);
}

void DictationController::setMicrophoneReady(bool ready)
{
    notifyOnChange(m_microphoneReady, ready, &DictationController::microphoneReadyChanged);
}

void DictationController::setAccessibilityReady(bool ready)
{
    notifyOnChange(m_accessibilityReady, ready, &DictationController::accessibilityReadyChanged);
}

void DictationController::setPasteNeedsAttention(bool needed)
{
    notifyOnChange(m_pasteNeedsAttention, needed, &DictationController::pasteNeedsAttentionChanged);
}

void DictationController::setSpeechReady(bool ready)
{
    notifyOnChange(m_speechReady, ready, &DictationController::speechReadyChanged);
}

void DictationController::setSpeechStatus(const QString &status)
{
    notifyOnChange(m_speechStatus, status, &DictationController::speechStatusChanged);
}

void DictationController::setShortcutPressed(bool pressed)
{
    notifyOnChange(m_shortcutPressed, pressed, &DictationController::shortcutPressedChanged);
}

void DictationController::setShortcutPresses(qint64 presses)
{
    m_shortcutPresses = presses;
    emit shortcutPressesChanged();
}

void DictationController::setLastPasteStatus(const std::optional<QString> &status)
{
    notifyOnChange(m_lastPasteStatus, status, &DictationController::lastPasteStatusChanged);
}

void DictationController::setLastPracticePasteStatus(const std::optional<QString> &status)
{
    notifyOnChange(m_lastPracticePasteStatus, status, &DictationController::lastPracticePasteStatusChanged);
}

void DictationController::setTestingPracticePaste(bool testing)
{
    notifyOnChange(m_testingPracticePaste, testing, &DictationController::testingPracticePasteChanged);
}

void DictationController::setMessage(std::optional<QString> message)
{
    notifyOnChange(m_message, message, &DictationController::messageChanged);
}

void DictationController::setLibrary(const Library &library)
{
    m_library = library;
    emit libraryChanged();
}

void DictationController::setDictationTimings(const DictationTimings &timings)
{
    notifyOnChange(m_dictationTimings, timings, &DictationController::dictationTimingsChanged);
}

const Preferences &DictationController::preferences() const
{
    return m_library.preferences;
}

std::optional<Transcript> DictationController::mostRecentTranscript() const
{
    if (m_latest)
        return m_latest;
    if (!m_library.history.empty())
        return m_library.history.front();
    return std::nullopt;
}

void DictationController::setPracticeWindow(QWidget *window)
{
    m_practiceWindow = window;
}

void DictationController::setShortcutProbeWindow(QWidget *window)
{
    m_shortcutProbeWindow = window;
}

bool DictationController::isDictatingInto(const QWidget *practiceWindow) const
{
    return practiceWindow && m_destination && m_destination->isPractice() &&
           m_destination->practiceWindow() == practiceWindow;
}

// --- Activation and the return to idle.

void DictationController::activate()
{
    refreshPermissions();
    if (m_started)
        return;
    m_started = true;

    QPointer<DictationController> self(this);
    m_shortcut->setOnEvent([self](bool pressed, double time) {
        if (self)
            self->handleShortcut(pressed, time);
    });
    m_shortcut->setOnInterrupted([self] {
        if (self)
            self->handleInterruption();
    });

    repairEditingShortcut();
    retryShortcut();
    queryLocales();
    prepareSpeech();
}

void DictationController::repairEditingShortcut()
{
    const Shortcut stored = m_library.preferences.shortcutKey;
    // Ctrl and Super with A, X, C, V, Z are the editing commands here; a dictation shortcut on them
    // would swallow copy and paste everywhere.
    if (!stored.reservedForEditing())
        return;
    Preferences repaired = m_library.preferences;
    repaired.shortcutKey = Shortcut::defaultShortcut();
    setPreferences(repaired);
    setMessage(
        ControllerTexts::editingShortcutReset(stored.displayText(), repaired.shortcutKey.displayText()));
}

void DictationController::reset()
{
    if (m_preparationTimeout) {
        m_preparationTimeout->cancel();
        m_preparationTimeout.reset();
    }
    m_shortcutGesture.reset();
    setPhase(Phase::idle);
    m_taskCancellation.reset();
    m_captureID.reset();
    m_live.reset();
    m_destination.reset();
    m_capturePreferences.reset();
    setLiveText(QString());
    setWaveform(WaveformFrame::silence());
    setRecordingWindow(std::nullopt);
}

QCoro::Task<> DictationController::queryLocales()
{
    QPointer<DictationController> self(this);
    const QStringList locales = co_await m_services.speech->supportedLocales();
    if (self)
        self->setLocales(locales);
}

} // namespace talvex
