// Shortcut handling and session start: shortcut events become dictations, a dictation goes from
// preparing to recording, speech is prepared, and the shortcut is registered.
#include "DictationController.h"
#include "core/ControllerTexts.h"
#include "platform/Logging.h"
#include "platform/PlatformError.h"
#include "speech/LocalModels.h"
#include "speech/TalvexError.h"

#include <QApplication>
#include <QCoreApplication>
#include <QMetaObject>
#include <utility>

namespace talvex {

namespace {

constexpr double preparationTimeoutSeconds = 12.0;

} // namespace

// --- Shortcut events.

bool DictationController::shortcutProbeIsKey() const
{
    QWidget *probe = m_shortcutProbeWindow.data();
    return probe && probe->isVisible() && QApplication::activeWindow() == probe->window();
}

void DictationController::handleShortcut(bool pressed, double time)
{
    setShortcutPressed(pressed);
    if (pressed)
        setShortcutPresses(m_shortcutPresses + 1);
    qCDebug(lcDelivery, "Shortcut %s", pressed ? "pressed" : "released");

    if (shortcutProbeIsKey() && m_phase == Phase::idle)
        return;

    // The gesture tells a hold from a tap; its phase ordinals are ours.
    const auto action =
        m_shortcutGesture.handle(pressed, time, static_cast<DictationShortcutGesture::Phase>(m_phase));
    switch (action) {
    case DictationShortcutGesture::Action::start:
        start();
        break;
    case DictationShortcutGesture::Action::stopRecording:
        stopRecording();
        break;
    case DictationShortcutGesture::Action::cancel:
        cancel();
        break;
    case DictationShortcutGesture::Action::none:
        break;
    }
}

void DictationController::handleInterruption()
{
    setShortcutPressed(false);
    if (m_shortcutGesture.interrupt())
        cancel();
}

// --- Session start.

std::shared_ptr<Destination> DictationController::captureDestination(bool explicitPractice) const
{
    return std::make_shared<Destination>(m_services.delivery, m_practiceWindow.data(), explicitPractice);
}

void DictationController::start()
{
    if (m_phase != Phase::idle || m_testingPracticePaste)
        return;

    auto session =
        std::make_shared<LiveDictation>(*m_services.speech, m_services.makeAudioEngine(), *m_services.clock);
    const QUuid capture = QUuid::createUuid();
    const Preferences snapshot = m_library.preferences;
    auto target = captureDestination(false);

    m_live = session;
    m_captureID = capture;
    m_destination = target;
    m_capturePreferences = snapshot;

    setLiveText(QString());
    setRecordingWindow(target->windowFrame());
    setMessage(std::nullopt);
    if (target->isPractice())
        setLastPracticePasteStatus(std::nullopt);
    setPasteNeedsAttention(false);
    setPhase(Phase::preparing);

    if (!m_speechPreparation)
        prepareSpeech();
    const std::optional<SpeechPreparation> preparation = m_speechPreparation;

    CancellationToken watchdog;
    m_preparationTimeout = watchdog;
    runWatchdog(capture, watchdog);

    CancellationToken task;
    m_taskCancellation = task;
    runStart(
        DictationStart{QPointer<DictationController>(this), preparation, snapshot, session, capture, task});
}

QCoro::Task<> DictationController::runWatchdog(QUuid capture, CancellationToken token)
{
    QPointer<DictationController> self(this);
    const bool elapsed = co_await m_services.clock->sleep(preparationTimeoutSeconds, token);
    if (!elapsed || !self || !self->isCurrent(capture))
        co_return;
    if (m_phase == Phase::preparing) {
        cancel();
        setMessage(ControllerTexts::stillGettingReady());
    }
}

QCoro::Task<> DictationController::runStart(DictationStart start)
{
    // Each step ends with the identity check: `leave` when the dictation was cancelled or replaced
    // while the step waited. A step that fails throws.
    std::exception_ptr failure;
    try {
        if (co_await askForMicrophone(start) == Step::leave)
            co_return co_await endStart(start, nullptr);
        const std::optional<QString> locale = co_await preparedLocale(start);
        if (!locale)
            co_return co_await endStart(start, nullptr);
        if (co_await startLiveSession(start, *locale) == Step::leave)
            co_return co_await endStart(start, nullptr);
        enterRecording();
        co_return;
    } catch (...) {
        failure = std::current_exception();
    }
    co_await endStart(start, failure);
}

void DictationController::throwMicrophoneProblem(MicrophoneProblem problem)
{
    // Only a refusal is a permission matter; a missing server or source needs something else fixed.
    switch (problem) {
    case MicrophoneProblem::noSoundServer:
        throw PlatformError(ControllerTexts::soundServerUnreachable());
    case MicrophoneProblem::noCaptureSource:
        throw TalvexException(TalvexError::microphoneInput);
    case MicrophoneProblem::none: // granted meanwhile, yet refused a moment ago
    case MicrophoneProblem::refused:
        break;
    }
    throw TalvexException(TalvexError::microphone);
}

QCoro::Task<DictationController::Step> DictationController::askForMicrophone(const DictationStart &start)
{
    const std::shared_ptr<AudioEngine> engine = microphone();
    const bool granted = co_await LiveDictation::requestMicrophone(*engine);
    if (!start.self)
        co_return Step::leave;
    if (!granted)
        throwMicrophoneProblem(engine->microphoneProblem());
    refreshPermissions();
    co_return start.isCurrent() ? Step::next : Step::leave;
}

QCoro::Task<std::optional<QString>> DictationController::preparedLocale(const DictationStart &start)
{
    if (!start.preparation)
        throw TalvexException(TalvexError::speechUnavailable);
    QString locale;
    std::exception_ptr failure;
    bool abandoned = false;
    try {
        locale = co_await start.preparation->result(start.token);
    } catch (const SpeechPreparation::Abandoned &) {
        abandoned = true;
    } catch (...) {
        failure = std::current_exception();
    }
    if (abandoned || !start.self)
        co_return std::nullopt;
    if (failure) {
        // Discard the failed preparation so the next dictation prepares again, but keep a newer one
        // started meanwhile (a changed locale, a restored backup).
        if (isCurrent(start.capture) && m_library.preferences.locale == start.snapshot.locale &&
            m_speechPreparation && m_speechPreparation->isSameAs(*start.preparation))
            m_speechPreparation.reset();
        std::rethrow_exception(failure);
    }
    if (!start.isCurrent())
        co_return std::nullopt;
    co_return locale;
}

QCoro::Task<DictationController::Step> DictationController::startLiveSession(const DictationStart &start,
                                                                             const QString &locale)
{
    std::shared_ptr<Transcriber> transcriber = m_services.speech->makeTranscriber(locale);
    if (!start.isCurrent())
        co_return Step::leave;

    const QUuid id = start.capture;
    const QPointer<DictationController> weak = start.self;
    // The session calls update on the main thread; the identity check drops a late partial.
    LocalModels::TextUpdate update = [weak, id](QString text) -> QCoro::Task<> {
        if (weak)
            weak->showPartial(text, id);
        co_return;
    };
    // The meter runs on the audio thread: hop to the main thread before touching anything.
    LiveDictation::Meter meter = [weak, id](const WaveformFrame &frame) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [weak, id, frame] {
                if (weak)
                    weak->showWaveform(frame, id);
            },
            Qt::QueuedConnection);
    };
    // A recording whose sound server went away ends now, as a release would end it, and says why.
    start.session->setCaptureLostHandler([weak, id] {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(),
            [weak, id] {
                if (weak && weak->isCurrent(id) && weak->m_phase == Phase::recording)
                    weak->stopRecording();
            },
            Qt::QueuedConnection);
    });
    co_await start.session->start(std::move(transcriber), start.snapshot.contextWords(), update, meter,
                                  start.token);
    co_return start.isCurrent() ? Step::next : Step::leave;
}

void DictationController::enterRecording()
{
    // The handle stays until reset(): it belongs to the dictation, only its timer stops here.
    if (m_preparationTimeout)
        m_preparationTimeout->cancel();
    setPhase(Phase::recording);
}

QCoro::Task<> DictationController::endStart(DictationStart start, std::exception_ptr failure)
{
    co_await start.session->cancel();
    if (!start.self || !start.self->isCurrent(start.capture))
        co_return;
    if (failure && !start.token.isCancelled())
        setMessage(ControllerTexts::describe(failure));
    reset();
}

void DictationController::showPartial(const QString &text, const QUuid &capture)
{
    if (isCurrent(capture))
        setLiveText(text);
}

void DictationController::showWaveform(const WaveformFrame &frame, const QUuid &capture)
{
    if (isCurrent(capture) && m_phase == Phase::recording)
        setWaveform(frame);
}

void DictationController::prepareSpeech()
{
    if (m_speechPreparation)
        m_speechPreparation->markReplaced();
    const QString locale = m_library.preferences.locale;
    const QUuid id = QUuid::createUuid();
    m_speechPreparationID = id;
    setSpeechStatus(ControllerTexts::preparingModel());
    SpeechPreparation preparation;
    m_speechPreparation = preparation;
    runPreparation(locale, id, preparation);
}

QCoro::Task<> DictationController::runPreparation(QString locale, QUuid preparationID,
                                                  SpeechPreparation preparation)
{
    QPointer<DictationController> self(this);
    std::exception_ptr failure;
    try {
        const QString prepared = co_await LocalModels::prepareSpeech(*m_services.speech, locale);
        if (self && self->m_speechPreparationID == preparationID)
            self->setSpeechStatus(ControllerTexts::modelReady());
        preparation.succeed(prepared);
        co_return;
    } catch (...) {
        failure = std::current_exception();
    }
    if (self && self->m_speechPreparationID == preparationID)
        self->setSpeechStatus(ControllerTexts::describe(failure));
    preparation.fail(failure);
}

// --- Shortcut registration.

void DictationController::retryShortcut()
{
    setShortcutReady(m_shortcut->registerShortcut(m_library.preferences.shortcutKey));
    qCInfo(lcDelivery, "Global shortcut registered: %s", m_shortcutReady ? "true" : "false");
}

void DictationController::beginShortcutRecording()
{
    m_shortcutGesture.reset();
    setShortcutPressed(false);
    setMessage(std::nullopt);
    m_shortcut->suspend();
}

bool DictationController::saveRecordedShortcut(const Shortcut &shortcut)
{
    const bool ok = m_shortcut->registerShortcut(shortcut);
    if (!ok)
        return false;
    setShortcutReady(true);
    setMessage(ControllerTexts::shortcutSaved(shortcut.displayText()));
    if (!(m_library.preferences.shortcutKey == shortcut)) {
        Preferences changed = m_library.preferences;
        changed.shortcutKey = shortcut;
        setPreferences(changed);
    }
    return true;
}

} // namespace talvex
