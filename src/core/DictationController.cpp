#include "DictationController.h"

#include "core/ControllerTexts.h"
#include "platform/Logging.h"
#include "platform/PlatformError.h"
#include "refine/LocalModels.h"
#include "speech/LocalModels.h"
#include "speech/TalvexError.h"
#include "store/UnicodeText.h"
#include "store/WordList.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <utility>

namespace talvex {

namespace {

constexpr double preparationTimeoutSeconds = 12.0;

/// Thrown inside a task at its cancellation points; a cancelled task shows nothing.
struct TaskCancelled : std::exception {
    const char *what() const noexcept override { return "cancelled"; }
};

const char *boolText(bool value)
{
    return value ? "true" : "false";
}

} // namespace

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
    runStart(preparation, snapshot, session, capture, task);
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

QCoro::Task<> DictationController::runStart(std::optional<SpeechPreparation> preparation,
                                            Preferences snapshot, std::shared_ptr<LiveDictation> session,
                                            QUuid capture, CancellationToken token)
{
    QPointer<DictationController> self(this);
    // Each await may outlive the dictation: a continuation acts only while its identity is current.
    auto checkpoint = [&] {
        if (!self || !self->isCurrent(capture) || token.isCancelled())
            throw TaskCancelled();
    };

    const std::shared_ptr<AudioEngine> microphoneEngine = microphone();
    std::exception_ptr failure;
    try {
        const bool granted = co_await LiveDictation::requestMicrophone(*microphoneEngine);
        if (!self)
            throw TaskCancelled();
        if (!granted)
            throw TalvexException(TalvexError::microphone);
        refreshPermissions();
        checkpoint();

        if (!preparation)
            throw TalvexException(TalvexError::speechUnavailable);
        QString locale;
        try {
            locale = co_await preparation->result(token);
        } catch (const SpeechPreparation::Abandoned &) {
            throw TaskCancelled();
        } catch (...) {
            if (!self)
                throw TaskCancelled();
            // Discard the failed preparation so the next dictation prepares again, but keep a newer
            // one started meanwhile (a changed locale, a restored backup).
            if (isCurrent(capture) && m_library.preferences.locale == snapshot.locale &&
                m_speechPreparation && m_speechPreparation->isSameAs(*preparation))
                m_speechPreparation.reset();
            throw;
        }
        checkpoint();

        std::shared_ptr<Transcriber> transcriber = m_services.speech->makeTranscriber(locale);
        checkpoint();

        const QUuid id = capture;
        QPointer<DictationController> weak = self;
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
        co_await session->start(std::move(transcriber), snapshot.contextWords(), update, meter, token);
        checkpoint();

        // The handle stays until reset(): it belongs to the dictation, only its timer stops here.
        if (m_preparationTimeout)
            m_preparationTimeout->cancel();
        setPhase(Phase::recording);
        co_return;
    } catch (...) {
        failure = std::current_exception();
    }

    co_await session->cancel();
    if (!self || !self->isCurrent(capture))
        co_return;
    if (!token.isCancelled())
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
    qCInfo(lcDelivery, "Global shortcut registered: %s", boolText(m_shortcutReady));
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

// --- Stop, cancel and completion.

void DictationController::stopRecording()
{
    if (m_phase != Phase::recording || !m_live || !m_destination || !m_capturePreferences || !m_captureID)
        return;
    setPhase(Phase::transcribing);
    CancellationToken task;
    m_taskCancellation = task;
    runStop(m_live, m_destination, *m_capturePreferences, *m_captureID, task);
}

QCoro::Task<> DictationController::runStop(std::shared_ptr<LiveDictation> session,
                                           std::shared_ptr<Destination> target, Preferences snapshot,
                                           QUuid capture, CancellationToken token)
{
    QPointer<DictationController> self(this);
    std::exception_ptr failure;
    try {
        const QString transcript = co_await session->finish();
        if (!self)
            co_return;
        if (token.isCancelled() || !isCurrent(capture))
            throw TaskCancelled();

        const std::optional<QString> applicationID =
            target->app() ? target->app()->applicationID : std::optional<QString>();
        const WritingMode mode = snapshot.modeForDictation(applicationID, target->isPractice());
        const QString source = ControllerTexts::sourceName(target->app());

        co_await complete(transcript, mode, snapshot, source, target);
        if (!self)
            co_return;
        if (isCurrent(capture))
            reset();
        co_return;
    } catch (...) {
        failure = std::current_exception();
    }
    if (!self || !self->isCurrent(capture))
        co_return;
    if (!token.isCancelled())
        setMessage(ControllerTexts::describe(failure));
    reset();
}

QCoro::Task<> DictationController::complete(QString text, WritingMode mode, Preferences snapshot,
                                            QString source, std::shared_ptr<Destination> target)
{
    QPointer<DictationController> self(this);
    if (text.isEmpty())
        throw TalvexException(TalvexError::noSpeech);
    if (mode != WritingMode::verbatim && m_phase != Phase::refining)
        setPhase(Phase::refining);

    const LocalModels::Refinement refinement =
        co_await LocalModels::refine(text, mode, snapshot.locale, *m_services.languageModel);
    if (!self)
        throw TaskCancelled();

    const QString finalText = snapshot.applyingReplacements(refinement.text);
    if (UnicodeText::trimmed(finalText, UnicodeText::isWhitespaceOrNewline).isEmpty())
        throw TalvexException(TalvexError::noSpeech);

    const Destination::Delivery outcome = co_await target->deliver(finalText);
    if (!self)
        throw TaskCancelled();

    const QString label = ControllerTexts::statusLabel(outcome);
    const std::optional<QString> notice = ControllerTexts::deliveryNotice(outcome);
    const QString bundle = target->app() && target->app()->applicationID ? *target->app()->applicationID
                                                                         : QStringLiteral("unknown");
    qCInfo(lcDelivery, "Delivery to %s: %s", qUtf8Printable(bundle), qUtf8Printable(label));
    refreshPermissions();

    if (target->isPractice()) {
        setLastPracticePasteStatus(label);
        setMessage(notice);
        co_return;
    }

    const Transcript transcript = Transcript::make(text, finalText, source, mode);
    setLatest(transcript);
    setLastPasteStatus(source + QStringLiteral(": ") + label);
    setPasteNeedsAttention(ControllerTexts::needsAttention(outcome));
    QStringList parts;
    if (refinement.note)
        parts << *refinement.note;
    if (notice)
        parts << *notice;
    const QString joined = parts.join(QLatin1Char(' '));
    setMessage(joined.isEmpty() ? std::nullopt : std::optional<QString>(joined));

    // The current setting decides, not the dictation's copy: turning history off mid-dictation
    // keeps this transcript out too.
    Library changed = m_library;
    if (changed.addTranscript(transcript)) {
        setLibrary(changed);
        save();
    }
}

void DictationController::cancel()
{
    if (m_phase != Phase::preparing && m_phase != Phase::recording)
        return;
    std::shared_ptr<LiveDictation> session = m_live;
    if (m_taskCancellation)
        m_taskCancellation->cancel();
    reset();
    if (session)
        tearDown(std::move(session));
}

QCoro::Task<> DictationController::tearDown(std::shared_ptr<LiveDictation> session)
{
    co_await session->cancel();
}

// --- Permissions and the practice paste.

void DictationController::refreshPermissions()
{
    setModelStatus(ControllerTexts::modelStatus(m_services.languageModel->availability()));
    setMicrophoneReady(microphone()->authorizationStatus() == MicrophoneAuthorization::authorized);
    const bool trusted = m_services.delivery.accessibility->isTrusted();
    const bool canPost = m_services.delivery.keyboard->canPostEvents();
    setAccessibilityReady(trusted && canPost);
    qCInfo(lcDelivery, "Talvex permissions: microphone %s, field access %s, key events %s",
           boolText(m_microphoneReady), boolText(trusted), boolText(canPost));
    setSpeechReady(m_services.speech->isAvailable());
}

std::shared_ptr<AudioEngine> DictationController::microphone()
{
    // One engine answers the permission questions for the life of the controller.
    if (!m_microphone)
        m_microphone = m_services.makeAudioEngine();
    return m_microphone;
}

void DictationController::allowMicrophone()
{
    requestMicrophoneAccess();
}

QCoro::Task<> DictationController::requestMicrophoneAccess()
{
    if (microphone()->authorizationStatus() == MicrophoneAuthorization::denied) {
        openSettings(SettingsPane::microphone);
        co_return;
    }
    QPointer<DictationController> self(this);
    const std::shared_ptr<AudioEngine> engine = microphone();
    co_await LiveDictation::requestMicrophone(*engine);
    if (self)
        self->refreshPermissions();
}

void DictationController::allowAccessibility()
{
    Destination::requestAccessibility(*m_services.delivery.accessibility, *m_services.delivery.keyboard);
    openSettings(SettingsPane::accessibility);
}

void DictationController::openSettings(SettingsPane pane)
{
    m_services.delivery.workspace->openSettings(pane);
}

QCoro::Task<> DictationController::testPracticePaste()
{
    if (m_phase != Phase::idle || m_testingPracticePaste)
        co_return;
    auto target = captureDestination(true);
    if (!target->practiceEditor()) {
        setLastPracticePasteStatus(ControllerTexts::clickPracticeField());
        co_return;
    }
    setTestingPracticePaste(true);
    QPointer<DictationController> self(this);
    const Destination::Delivery outcome = co_await target->deliver(ControllerTexts::practicePasteText());
    if (!self)
        co_return;
    const QString label = ControllerTexts::statusLabel(outcome);
    const std::optional<QString> notice = ControllerTexts::deliveryNotice(outcome);
    setLastPracticePasteStatus(label);
    setMessage(notice);
    qCInfo(lcDelivery, "Practice paste: %s", qUtf8Printable(label));
    setTestingPracticePaste(false);
}

// --- The library.

void DictationController::loadLibrary()
{
    if (!QFileInfo::exists(m_libraryPath))
        return;
    QFile file(m_libraryPath);
    std::optional<Library> stored;
    if (file.open(QIODevice::ReadOnly))
        stored = Library::read(file.readAll());
    if (stored) {
        m_library = *stored;
        return;
    }
    // Leave the file exactly as it is: it may be from a newer version or repairable by hand.
    m_diskReadable = false;
    m_message = ControllerTexts::libraryUnreadable();
}

void DictationController::setPreferences(const Preferences &preferences)
{
    const bool localeChanged = preferences.locale != m_library.preferences.locale;
    Library changed = m_library;
    changed.preferences = preferences;
    setLibrary(changed);
    if (localeChanged)
        prepareSpeech();
    save();
}

void DictationController::save()
{
    if (!m_diskReadable) {
        setMessage(ControllerTexts::changesInMemory());
        return;
    }
    try {
        persist(m_library);
    } catch (...) {
        setMessage(ControllerTexts::couldNotSave(ControllerTexts::describe(std::current_exception())));
    }
}

void DictationController::persist(const Library &library)
{
    const QString folder = QFileInfo(m_libraryPath).absolutePath();
    if (!QDir().mkpath(folder))
        throw PlatformError(ControllerTexts::couldNotCreateFolder(folder));
    QString error;
    if (!library.write(m_libraryPath, &error))
        throw PlatformError(error);
}

void DictationController::exportBackup()
{
    FilePanelRequest panel;
    panel.fileTypes = {PromptFileType::json};
    panel.proposedName = ControllerTexts::backupFileName();
    const auto location = m_services.prompts->chooseSaveLocation(panel);
    if (!location || location->isEmpty())
        return;
    // Exporting onto the unreadable library file would replace it, which only a restore may do and
    // only after keeping a copy: keep one here too.
    const QString libraryFile = QFileInfo(m_libraryPath).canonicalFilePath();
    if (!m_diskReadable && !libraryFile.isEmpty() && QFileInfo(*location).canonicalFilePath() == libraryFile) {
        const QString recovery = QFileInfo(m_libraryPath).dir().filePath(ControllerTexts::recoveryFileName());
        if (!QFile::copy(m_libraryPath, recovery)) {
            setMessage(ControllerTexts::couldNotCopy(m_libraryPath, recovery));
            return;
        }
    }
    QString error;
    if (m_library.write(*location, &error))
        setMessage(ControllerTexts::backupExported());
    else
        setMessage(error);
}

void DictationController::importBackup()
{
    FilePanelRequest panel;
    panel.fileTypes = {PromptFileType::json};
    const auto location = m_services.prompts->chooseOpenLocation(panel);
    if (!location || location->isEmpty())
        return;

    try {
        QFile file(*location);
        if (!file.open(QIODevice::ReadOnly))
            throw PlatformError(ControllerTexts::couldNotRead(*location, file.errorString()));
        QString decodingError;
        const std::optional<Library> backup = Library::read(file.readAll(), &decodingError);
        if (!backup)
            throw PlatformError(decodingError);

        AlertRequest alert;
        alert.messageText = ControllerTexts::restoreQuestion();
        alert.informativeText = ControllerTexts::restoreExplanation();
        alert.buttons = {ControllerTexts::restoreButton(), ControllerTexts::cancelButton()};
        if (m_services.prompts->alert(alert) != 0)
            return;

        if (!m_diskReadable && QFileInfo::exists(m_libraryPath)) {
            // Keep the unreadable file: the user may still get something out of it.
            const QString recovery =
                QFileInfo(m_libraryPath).dir().filePath(ControllerTexts::recoveryFileName());
            if (!QFile::copy(m_libraryPath, recovery))
                throw PlatformError(ControllerTexts::couldNotCopy(m_libraryPath, recovery));
        }

        Library merged = m_library;
        merged.restore(*backup);
        const Shortcut current = m_library.preferences.shortcutKey;
        const bool registered = m_shortcut->registerShortcut(merged.preferences.shortcutKey);
        if (!registered)
            merged.preferences.shortcutKey = current;

        try {
            persist(merged);
        } catch (...) {
            setShortcutReady(m_shortcut->registerShortcut(current));
            throw;
        }

        m_diskReadable = true;
        setLibrary(merged);
        setShortcutReady(m_shortcut->registerShortcut(m_library.preferences.shortcutKey));
        prepareSpeech();
        setMessage(registered ? ControllerTexts::backupRestored()
                              : ControllerTexts::backupRestoredKeptShortcut());
    } catch (...) {
        setMessage(ControllerTexts::describe(std::current_exception()));
    }
}

void DictationController::importWordList()
{
    FilePanelRequest panel;
    panel.title = ControllerTexts::importWordListTitle();
    panel.confirmLabel = ControllerTexts::importButton();
    panel.fileTypes = {PromptFileType::plainText, PromptFileType::commaSeparatedText,
                       PromptFileType::tabSeparatedText};
    const auto location = m_services.prompts->chooseOpenLocation(panel);
    if (!location || location->isEmpty())
        return;

    QFile file(*location);
    if (!file.open(QIODevice::ReadOnly)) {
        setMessage(ControllerTexts::couldNotRead(*location, file.errorString()));
        return;
    }
    QString decodingError;
    const std::optional<QString> text = WordList::decodeText(file.readAll(), &decodingError);
    if (!text) {
        setMessage(decodingError);
        return;
    }

    Library imported = m_library;
    WordList::ImportError importError;
    const std::optional<qsizetype> added = imported.preferences.importVocabulary(*text, &importError);
    if (!added) {
        setMessage(importError.description());
        return;
    }
    if (*added < 1) {
        setMessage(ControllerTexts::entriesAlreadyPresent());
        return;
    }
    if (!m_diskReadable) {
        setMessage(ControllerTexts::restoreBeforeImport());
        return;
    }
    try {
        persist(imported);
    } catch (...) {
        setMessage(ControllerTexts::describe(std::current_exception()));
        return;
    }
    setLibrary(imported);
    setMessage(ControllerTexts::entriesAdded(*added));
}

} // namespace talvex
