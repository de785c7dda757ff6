#pragma once

#include "core/ControllerServices.h"
#include "core/DictationTiming.h"
#include "core/SpeechPreparation.h"
#include "desktop/Destination.h"
#include "desktop/DictationShortcutGesture.h"
#include "desktop/GlobalShortcut.h"
#include "desktop/Shortcut.h"
#include "platform/CancellationToken.h"
#include "refine/WritingMode.h"
#include "speech/LiveDictation.h"
#include "speech/WaveformFrame.h"
#include "store/Library.h"
#include "store/Preferences.h"
#include "store/Transcript.h"

#include <QCoro/QCoroTask>
#include <QObject>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <QWidget>
#include <cstdint>
#include <exception>
#include <memory>
#include <optional>

namespace talvex {

/// The one object that owns dictation state: the phase, the shortcut registration, the running
/// session and its target, the library, and every status text and readiness flag the windows, the
/// tray and the recorder panel show. Main thread only; nothing else writes its state.
class DictationController final : public QObject {
    Q_OBJECT
    Q_PROPERTY(Phase phase READ phase NOTIFY phaseChanged)
    Q_PROPERTY(QString liveText READ liveText NOTIFY liveTextChanged)
    Q_PROPERTY(talvex::WaveformFrame waveform READ waveform NOTIFY waveformChanged)
    Q_PROPERTY(std::optional<QRectF> recordingWindow READ recordingWindow NOTIFY recordingWindowChanged)
    Q_PROPERTY(std::optional<talvex::Transcript> latest READ latest NOTIFY latestChanged)
    Q_PROPERTY(QStringList locales READ locales NOTIFY localesChanged)
    Q_PROPERTY(bool shortcutReady READ shortcutReady NOTIFY shortcutReadyChanged)
    Q_PROPERTY(QString modelStatus READ modelStatus NOTIFY modelStatusChanged)
    Q_PROPERTY(bool microphoneReady READ microphoneReady NOTIFY microphoneReadyChanged)
    Q_PROPERTY(bool accessibilityReady READ accessibilityReady NOTIFY accessibilityReadyChanged)
    Q_PROPERTY(bool pasteNeedsAttention READ pasteNeedsAttention NOTIFY pasteNeedsAttentionChanged)
    Q_PROPERTY(bool speechReady READ speechReady NOTIFY speechReadyChanged)
    Q_PROPERTY(QString speechStatus READ speechStatus NOTIFY speechStatusChanged)
    Q_PROPERTY(bool shortcutPressed READ shortcutPressed NOTIFY shortcutPressedChanged)
    Q_PROPERTY(qint64 shortcutPresses READ shortcutPresses NOTIFY shortcutPressesChanged)
    Q_PROPERTY(std::optional<QString> lastPasteStatus READ lastPasteStatus NOTIFY lastPasteStatusChanged)
    Q_PROPERTY(std::optional<QString> lastPracticePasteStatus READ lastPracticePasteStatus NOTIFY
                   lastPracticePasteStatusChanged)
    Q_PROPERTY(bool testingPracticePaste READ testingPracticePaste NOTIFY testingPracticePasteChanged)
    Q_PROPERTY(std::optional<QString> message READ message WRITE setMessage NOTIFY messageChanged)
    Q_PROPERTY(talvex::Library library READ library NOTIFY libraryChanged)
    Q_PROPERTY(talvex::DictationTimings dictationTimings READ dictationTimings NOTIFY dictationTimingsChanged)

  public:
    /// The dictation phase. The order fixes the ordinal values.
    enum class Phase { idle, preparing, recording, transcribing, refining };
    Q_ENUM(Phase)

    /// Loads the library (an unreadable file is left untouched and never overwritten until a
    /// backup is restored). Registers nothing and starts nothing.
    explicit DictationController(ControllerServices services, QObject *parent = nullptr);
    ~DictationController() override;

    /// "Library.json" in the folder "Talvex" of the user's data directory.
    static QString defaultLibraryPath();

    // Published state.
    Phase phase() const { return m_phase; }
    const QString &liveText() const { return m_liveText; }
    const WaveformFrame &waveform() const { return m_waveform; }
    const std::optional<QRectF> &recordingWindow() const { return m_recordingWindow; }
    const std::optional<Transcript> &latest() const { return m_latest; }
    const QStringList &locales() const { return m_locales; }
    bool shortcutReady() const { return m_shortcutReady; }
    const QString &modelStatus() const { return m_modelStatus; }
    bool microphoneReady() const { return m_microphoneReady; }
    bool accessibilityReady() const { return m_accessibilityReady; }
    bool pasteNeedsAttention() const { return m_pasteNeedsAttention; }
    bool speechReady() const { return m_speechReady; }
    const QString &speechStatus() const { return m_speechStatus; }
    bool shortcutPressed() const { return m_shortcutPressed; }
    qint64 shortcutPresses() const { return m_shortcutPresses; }
    const std::optional<QString> &lastPasteStatus() const { return m_lastPasteStatus; }
    const std::optional<QString> &lastPracticePasteStatus() const { return m_lastPracticePasteStatus; }
    bool testingPracticePaste() const { return m_testingPracticePaste; }
    const std::optional<QString> &message() const { return m_message; }
    const Library &library() const { return m_library; }
    /// How long the latest practice dictation and the latest one into another application took
    /// from their stop to their delivery, and where that time went.
    const DictationTimings &dictationTimings() const { return m_dictationTimings; }

    /// The one status sentence; the shortcut recorder also writes it.
    void setMessage(std::optional<QString> message);

    /// The library's preferences. Setting them saves the library and, when the locale changed,
    /// prepares speech again; a running dictation keeps the copy it started with.
    const Preferences &preferences() const;
    void setPreferences(const Preferences &preferences);

    /// `latest`, else the newest history entry, else nothing.
    std::optional<Transcript> mostRecentTranscript() const;

    /// The onboarding window while it shows its practice step (dictations then go to its field),
    /// and while it shows its shortcut step (presses then only count). Null clears them.
    void setPracticeWindow(QWidget *window);
    void setShortcutProbeWindow(QWidget *window);
    QWidget *practiceWindow() const { return m_practiceWindow.data(); }
    QWidget *shortcutProbeWindow() const { return m_shortcutProbeWindow.data(); }
    /// Whether the running dictation goes to the practice field of `practiceWindow`.
    bool isDictatingInto(const QWidget *practiceWindow) const;
    /// The practice window is closing: a dictation into it ends at once without a paste, in any
    /// phase (the user's clipboard stays as it is); a dictation into another application goes on.
    void cancelPracticeDictation(const QWidget *practiceWindow);

    /// Once the application has launched: refreshes the permission flags every time; the first
    /// call also installs the shortcut callbacks, repairs a stored editing-command shortcut,
    /// registers the shortcut, queries the recogniser's languages and prepares speech.
    void activate();

    /// Starts a dictation into the focused field: only in idle and while no practice paste runs.
    /// Shortcut presses reach it through the gesture; commands from outside call it directly.
    void start();
    /// Ends recording and delivers the transcript. Only while recording.
    void stopRecording();
    /// Abandons a dictation that is preparing or recording; no message. Returns at once.
    void cancel();

    /// Registers the stored shortcut again and publishes whether that worked.
    void retryShortcut();
    /// The shortcut recorder begins: forget the held press and stop the shortcut triggering.
    void beginShortcutRecording();
    /// Registers a newly recorded shortcut; on success publishes it and stores it. Returns whether
    /// it could be registered (nothing changes when not).
    bool saveRecordedShortcut(const Shortcut &shortcut);

    /// Library commands; every outcome is reported in `message`, cancelled panels say nothing.
    void exportBackup();
    void importBackup();
    void importWordList();

    /// Recomputes the model status and the microphone, accessibility and speech flags.
    void refreshPermissions();
    /// Asks for microphone access, or opens the microphone settings when it was denied.
    void allowMicrophone();
    /// Asks for accessibility or key-posting access and opens the accessibility settings. Returns
    /// whether a settings page opened.
    bool allowAccessibility();
    /// Opens the desktop's settings at `pane`; an unknown desktop opens nothing. Returns whether a
    /// settings page opened.
    bool openSettings(SettingsPane pane);

    /// Delivers "Talvex paste test." into the onboarding practice field. Only in idle.
    QCoro::Task<> testPracticePaste();

  signals:
    void phaseChanged();
    void liveTextChanged();
    void waveformChanged();
    void recordingWindowChanged();
    void latestChanged();
    void localesChanged();
    void shortcutReadyChanged();
    void modelStatusChanged();
    void microphoneReadyChanged();
    void accessibilityReadyChanged();
    void pasteNeedsAttentionChanged();
    void speechReadyChanged();
    void speechStatusChanged();
    void shortcutPressedChanged();
    void shortcutPressesChanged();
    void lastPasteStatusChanged();
    void lastPracticePasteStatusChanged();
    void testingPracticePasteChanged();
    void messageChanged();
    void libraryChanged();
    void dictationTimingsChanged();

  private:
    friend class DictationControllerProbe; // tests read the per-dictation state through it

    void reset();
    void handleShortcut(bool pressed, double time);
    void handleInterruption();
    void showPartial(const QString &text, const QUuid &capture);
    void showWaveform(const WaveformFrame &frame, const QUuid &capture);
    void prepareSpeech();
    void save();
    void persist(const Library &library);
    void loadLibrary();
    void repairEditingShortcut();

    QCoro::Task<> runWatchdog(QUuid capture, CancellationToken token);
    /// What the start task of one dictation holds.
    struct DictationStart {
        QPointer<DictationController> self;
        std::optional<SpeechPreparation> preparation;
        Preferences snapshot;
        std::shared_ptr<LiveDictation> session;
        QUuid capture;
        CancellationToken token;
        /// The identity check after each await: the controller exists, the dictation is still the
        /// current one and the task was not cancelled.
        bool isCurrent() const { return self && self->isCurrent(capture) && !token.isCancelled(); }
    };
    /// Whether the start task goes on after a step, or leaves quietly because its dictation ended.
    enum class Step { next, leave };

    // The start task, in the order a session starts.
    QCoro::Task<> runStart(DictationStart start);
    QCoro::Task<Step> askForMicrophone(const DictationStart &start);
    /// Throws the failure that tells the user what to fix when microphone access is not granted.
    [[noreturn]] static void throwMicrophoneProblem(MicrophoneProblem problem);
    /// The prepared locale, or nothing when the task must leave.
    QCoro::Task<std::optional<QString>> preparedLocale(const DictationStart &start);
    QCoro::Task<Step> startLiveSession(const DictationStart &start, const QString &locale);
    void enterRecording();
    /// Tears the session down; while the dictation is current, shows `failure` (if any, and unless
    /// cancelled) and returns to idle.
    QCoro::Task<> endStart(DictationStart start, std::exception_ptr failure);
    QCoro::Task<> runStop(std::shared_ptr<LiveDictation> session, std::shared_ptr<Destination> target,
                          Preferences snapshot, QUuid capture, CancellationToken token, double stoppedAt);
    /// The moments a dictation's end has passed so far, on the controller's clock.
    struct StopTimes {
        double stopped = 0;
        double recognized = 0;
    };
    /// `speechNote`: the recogniser's sentence about a fallback final text; it leads `message`.
    QCoro::Task<> complete(QString text, WritingMode mode, Preferences snapshot, QString source,
                           std::shared_ptr<Destination> target, StopTimes times, CancellationToken token,
                           std::optional<QString> speechNote);
    void recordTiming(const DictationTiming &timing, bool practice);
    QCoro::Task<> runPreparation(QString locale, QUuid preparationID, SpeechPreparation preparation);
    QCoro::Task<> queryLocales();
    QCoro::Task<> requestMicrophoneAccess();
    static QCoro::Task<> tearDown(std::shared_ptr<LiveDictation> session);

    std::shared_ptr<AudioEngine> microphone();
    bool isCurrent(const QUuid &capture) const { return m_captureID && *m_captureID == capture; }
    std::shared_ptr<Destination> captureDestination(bool explicitPractice) const;
    bool shortcutProbeIsKey() const;

    /// Assigns and notifies only on a real change.
    template <typename T, typename U>
    void notifyOnChange(T &member, U &&value, void (DictationController::*changed)())
    {
        if (member == value)
            return;
        member = std::forward<U>(value);
        emit(this->*changed)();
    }
    void setPhase(Phase phase);
    void setLiveText(const QString &text);
    void setWaveform(const WaveformFrame &frame);
    void setRecordingWindow(const std::optional<QRectF> &frame);
    void setLatest(const std::optional<Transcript> &transcript);
    void setLocales(const QStringList &locales);
    void setShortcutReady(bool ready);
    void setModelStatus(const QString &status);
    void setMicrophoneReady(bool ready);
    void setAccessibilityReady(bool ready);
    void setPasteNeedsAttention(bool needed);
    void setSpeechReady(bool ready);
    void setSpeechStatus(const QString &status);
    void setShortcutPressed(bool pressed);
    void setShortcutPresses(qint64 presses);
    void setLastPasteStatus(const std::optional<QString> &status);
    void setLastPracticePasteStatus(const std::optional<QString> &status);
    void setTestingPracticePaste(bool testing);
    void setLibrary(const Library &library);
    void setDictationTimings(const DictationTimings &timings);

    ControllerServices m_services;

    // Published.
    Phase m_phase = Phase::idle;
    QString m_liveText;
    WaveformFrame m_waveform;
    std::optional<QRectF> m_recordingWindow;
    std::optional<Transcript> m_latest;
    QStringList m_locales;
    bool m_shortcutReady = false;
    QString m_modelStatus;
    bool m_microphoneReady = false;
    bool m_accessibilityReady = false;
    bool m_pasteNeedsAttention = false;
    bool m_speechReady = false;
    QString m_speechStatus;
    bool m_shortcutPressed = false;
    qint64 m_shortcutPresses = 0;
    std::optional<QString> m_lastPasteStatus;
    std::optional<QString> m_lastPracticePasteStatus;
    bool m_testingPracticePaste = false;
    std::optional<QString> m_message;
    Library m_library;
    DictationTimings m_dictationTimings;

    // Private.
    QPointer<QWidget> m_practiceWindow;
    QPointer<QWidget> m_shortcutProbeWindow;
    QString m_libraryPath;
    std::unique_ptr<GlobalShortcut> m_shortcut;
    DictationShortcutGesture m_shortcutGesture;
    std::shared_ptr<LiveDictation> m_live;
    /// Cancels the running start or stop task (the task itself runs on its own).
    std::optional<CancellationToken> m_taskCancellation;
    std::shared_ptr<Destination> m_destination;
    std::optional<Preferences> m_capturePreferences;
    std::optional<QUuid> m_captureID;
    std::optional<SpeechPreparation> m_speechPreparation;
    std::optional<QUuid> m_speechPreparationID;
    std::optional<CancellationToken> m_preparationTimeout;
    bool m_started = false;
    bool m_diskReadable = true;
    std::shared_ptr<AudioEngine> m_microphone; ///< answers the permission questions
};

using Phase = DictationController::Phase;

} // namespace talvex
