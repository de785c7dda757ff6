#pragma once

// The controller on its real collaborators (LiveDictation, Destination, GlobalShortcut, the library
// code) over scripted platform services, with a clock the test moves by hand.

#include "core/DictationController.h"

#include "AccessibilityDouble.h"
#include "AudioEngineDouble.h"
#include "ClipboardDouble.h"
#include "HotKeyServiceDouble.h"
#include "KeyboardPosterDouble.h"
#include "LanguageModelServiceDouble.h"
#include "ManualClock.h"
#include "ModifierWatcherDouble.h"
#include "SpeechServiceDouble.h"
#include "UserPromptsDouble.h"
#include "WorkspaceDouble.h"

#include <QCoro/QCoroSignal>
#include <QObject>
#include <QTemporaryDir>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace talvex {

/// Reads the controller's per-dictation state, which no window may see.
class DictationControllerProbe {
public:
    explicit DictationControllerProbe(const DictationController &controller) : m_c(controller) {}

    bool hasLive() const { return m_c.m_live != nullptr; }
    bool hasTask() const { return m_c.m_taskCancellation.has_value(); }
    bool hasDestination() const { return m_c.m_destination != nullptr; }
    bool hasCapturePreferences() const { return m_c.m_capturePreferences.has_value(); }
    bool hasCaptureID() const { return m_c.m_captureID.has_value(); }
    bool hasPreparationTimeout() const { return m_c.m_preparationTimeout.has_value(); }
    bool hasSpeechPreparation() const { return m_c.m_speechPreparation.has_value(); }
    bool diskReadable() const { return m_c.m_diskReadable; }
    const std::optional<Preferences> &capturePreferences() const { return m_c.m_capturePreferences; }

    /// The six members that belong to one dictation: all present, or all absent.
    int dictationStateCount() const
    {
        return int(hasLive()) + int(hasTask()) + int(hasDestination()) + int(hasCapturePreferences()) +
               int(hasCaptureID()) + int(hasPreparationTimeout());
    }

private:
    const DictationController &m_c;
};

namespace test {

/// Opens when the test says so, letting every waiter through, or failing them.
class Gate final : public QObject {
    Q_OBJECT
public:
    void open() { emit opened(); }
    void fail(QString error)
    {
        m_error = std::move(error);
        emit opened();
    }
    const std::optional<QString> &error() const { return m_error; }

signals:
    void opened();

private:
    std::optional<QString> m_error;
};

/// The speech double with preparations that can be held: each locale lookup takes the next queued
/// gate (if any) and waits for it.
class GatedSpeechService final : public SpeechService {
public:
    explicit GatedSpeechService(SpeechServiceDouble &inner) : m_inner(inner) {}

    std::deque<std::shared_ptr<Gate>> gates;
    int lookups = 0;

    std::shared_ptr<Gate> holdNextPreparation()
    {
        gates.push_back(std::make_shared<Gate>());
        m_made.push_back(gates.back());
        return gates.back();
    }
    /// Lets every preparation still held fail, so nothing waits on a gate after the test.
    void releaseAll()
    {
        for (const auto &gate : m_made)
            gate->fail(QStringLiteral("The test ended."));
        m_made.clear();
    }

    bool isAvailable() const override { return m_inner.isAvailable(); }
    QCoro::Task<QStringList> supportedLocales() override { return m_inner.supportedLocales(); }
    QCoro::Task<std::optional<QString>> supportedLocale(QString identifier) override
    {
        ++lookups;
        if (!gates.empty()) {
            auto gate = gates.front();
            gates.pop_front();
            co_await qCoro(gate.get(), &Gate::opened);
            if (gate->error())
                throw PlatformError(*gate->error());
        }
        std::optional<QString> found;
        for (const QString &locale : m_inner.locales) {
            if (locale.compare(identifier, Qt::CaseInsensitive) == 0)
                found = locale;
        }
        co_return found;
    }
    std::shared_ptr<Transcriber> makeTranscriber(const QString &locale) override
    {
        return m_inner.makeTranscriber(locale);
    }
    QCoro::Task<AssetStatus> assetStatus(std::shared_ptr<Transcriber> module) override
    {
        return m_inner.assetStatus(std::move(module));
    }
    QCoro::Task<std::unique_ptr<AssetInstallationRequest>>
    assetInstallationRequest(std::shared_ptr<Transcriber> module) override
    {
        return m_inner.assetInstallationRequest(std::move(module));
    }
    QCoro::Task<std::optional<AudioFormat>> bestAvailableAudioFormat(std::shared_ptr<Transcriber> module,
                                                                     AudioFormat input) override
    {
        return m_inner.bestAvailableAudioFormat(std::move(module), input);
    }
    std::shared_ptr<Analyzer> makeAnalyzer(std::shared_ptr<Transcriber> module) override
    {
        return m_inner.makeAnalyzer(std::move(module));
    }

private:
    SpeechServiceDouble &m_inner;
    std::vector<std::shared_ptr<Gate>> m_made;
};

/// How new audio engines behave; the first engine made answers the permission questions.
struct EngineScript {
    MicrophoneAuthorization status = MicrophoneAuthorization::authorized;
    std::optional<MicrophoneProblem> problem;
    bool accessAnswer = true;
    std::optional<QString> startError;
};

/// The target program of a dictation and its text field.
struct TargetProgram {
    RunningApplication app{4242, QStringLiteral("org.gnome.TextEditor"), QStringLiteral("Text Editor"),
                           QStringLiteral("Gnome-text-editor"), QStringLiteral("gnome-text-editor")};
    AccessibleElement field{QStringLiteral(":1.42"), QStringLiteral("/org/a11y/field")};
    AccessibleElement window{QStringLiteral(":1.42"), QStringLiteral("/org/a11y/window")};
    QRectF frame{100, 200, 800, 600};
};

class ControllerHarness {
public:
    ControllerHarness();
    ~ControllerHarness();

    QString libraryPath() const { return m_dir.filePath(QStringLiteral("data/Talvex/Library.json")); }
    QString path(const QString &name) const { return m_dir.filePath(name); }

    /// Builds the controller (loading the library file) and, unless told not to, activates it.
    DictationController &make(bool activate = true);
    DictationController &controller() { return *m_controller; }
    DictationControllerProbe probe() const { return DictationControllerProbe(*m_controller); }
    void destroy() { m_controller.reset(); }

    /// Puts `target` in front with a focused field whose caret sits at `caret`.
    void focusTarget(const TargetProgram &target = TargetProgram(), std::int64_t caret = 5);
    /// The focused field takes the pasted text when V goes down, so the delivery is confirmed.
    void pasteLands(bool lands = true);
    /// The transcript the recogniser finalizes for every later dictation.
    void speak(const QString &words);

    // The shortcut as the system reports it (an ordinary hot key).
    void press(double time) { hotKeys.fireLive(true, time); }
    void release(double time) { hotKeys.fireLive(false, time); }

    /// Runs the event loop until `done` holds; moves the clock too when `moveClock` is set. False
    /// when it never held.
    bool settle(const std::function<bool()> &done, bool moveClock = false);
    /// Runs queued events without moving the clock.
    void drain();
    /// The newest audio engine, while its dictation lives.
    AudioEngineDouble *engine() { return m_engines.empty() ? nullptr : m_engines.back().get(); }
    AudioEngineDouble *firstEngine() { return m_engines.empty() ? nullptr : m_engines.front().get(); }
    std::size_t enginesMade() const { return m_engines.size(); }

    /// Presses, lets the start task bring the session up, and holds long enough to be a hold.
    bool startRecording(double time = 10.0);
    /// Releases after a hold and runs the stop task to its end (delivery waits included).
    bool finishRecording(double time = 11.0);

    ManualClock clock;
    LanguageModelServiceDouble model;
    SpeechServiceDouble speechDouble;
    GatedSpeechService speech{speechDouble};
    /// Set before make(): the speech service the controller uses instead of `speech` (e.g. one that
    /// wraps it).
    SpeechService *speechOverride = nullptr;
    EngineScript engines;
    HotKeyServiceDouble hotKeys;
    ModifierWatcherDouble modifiers;
    WorkspaceDouble workspace;
    AccessibilityDouble accessibility;
    KeyboardPosterDouble keyboard;
    ClipboardDouble clipboard;
    UserPromptsDouble prompts;
    TargetProgram target;
    /// Phases in the order the controller entered them.
    std::vector<DictationController::Phase> phases;

private:
    QTemporaryDir m_dir;
    std::vector<std::shared_ptr<AudioEngineDouble>> m_engines;
    std::unique_ptr<DictationController> m_controller;
    QString m_words = QStringLiteral("hello world");
};

} // namespace test

} // namespace talvex
