#include "ControllerHarness.h"

#include <QCoreApplication>
#include <QTest>

namespace talvex::test {

namespace {

// Hands the controller an engine while the harness keeps its own reference, so tests can reach the
// engine of a session that the controller owns.
class SharedEngine final : public AudioEngine {
public:
    explicit SharedEngine(std::shared_ptr<AudioEngineDouble> engine) : m_engine(std::move(engine)) {}

    MicrophoneAuthorization authorizationStatus() override { return m_engine->authorizationStatus(); }
    MicrophoneProblem microphoneProblem() override { return m_engine->microphoneProblem(); }
    QCoro::Task<bool> requestAccess() override { return m_engine->requestAccess(); }
    QCoro::Task<AudioFormat> inputFormat() override { return m_engine->inputFormat(); }
    std::unique_ptr<AudioConverter> makeConverter(const AudioFormat &from, const AudioFormat &to) override
    {
        return m_engine->makeConverter(from, to);
    }
    void installTap(std::int64_t bufferSize, TapBlock block) override
    {
        m_engine->installTap(bufferSize, std::move(block));
    }
    void removeTap() override { m_engine->removeTap(); }
    QCoro::Task<> start() override { return m_engine->start(); }
    void stop() override { m_engine->stop(); }
    MicrophoneProblem captureLost() const override { return m_engine->captureLost(); }
    void setCaptureLostHandler(std::function<void()> handler) override
    {
        m_engine->setCaptureLostHandler(std::move(handler));
    }

private:
    std::shared_ptr<AudioEngineDouble> m_engine;
};

} // namespace

ControllerHarness::ControllerHarness()
{
    speechDouble.status = AssetStatus::installed;
    speechDouble.configureAnalyzer = [this](AnalyzerDouble &analyzer) {
        analyzer.resultsAtFinalize = {SpeechResult{m_words, true}};
    };
    focusTarget();
}

ControllerHarness::~ControllerHarness()
{
    m_controller.reset();
    speech.releaseAll();
    drain();
}

DictationController &ControllerHarness::make(bool activate)
{
    ControllerServices services;
    services.clock = &clock;
    services.languageModel = &model;
    services.speech = speechOverride ? speechOverride : &speech;
    services.makeAudioEngine = [this]() -> std::unique_ptr<AudioEngine> {
        auto engine = std::make_shared<AudioEngineDouble>();
        engine->status = engines.status;
        engine->problem = engines.problem;
        engine->accessAnswer = engines.accessAnswer;
        engine->startError = engines.startError;
        m_engines.push_back(engine);
        return std::make_unique<SharedEngine>(engine);
    };
    services.hotKeys = &hotKeys;
    services.modifierWatcher = &modifiers;
    services.delivery = DeliveryServices{&workspace, &accessibility, &keyboard, &clipboard, &clock};
    services.prompts = &prompts;
    services.libraryPath = libraryPath();
    m_controller = std::make_unique<DictationController>(services);
    QObject::connect(m_controller.get(), &DictationController::phaseChanged, m_controller.get(),
                     [this] { phases.push_back(m_controller->phase()); });
    if (activate) {
        m_controller->activate();
        drain();
    }
    return *m_controller;
}

void ControllerHarness::focusTarget(const TargetProgram &program, std::int64_t caret)
{
    target = program;
    workspace.frontmost = program.app;
    workspace.windows = std::vector<WindowInfo>{WindowInfo{program.app.pid, 0, program.frame}};
    accessibility.focused[program.app.pid] = program.field;
    accessibility.windows[program.app.pid] = program.window;
    accessibility.element(program.field).range = TextRange{caret, 0};
}

void ControllerHarness::pasteLands(bool lands)
{
    if (!lands) {
        keyboard.onPost = nullptr;
        return;
    }
    keyboard.onPost = [this](const KeyboardKey &key, bool down) {
        if (!down || key.id != KeyboardPosterDouble::v.id)
            return;
        auto &range = accessibility.element(target.field).range;
        const std::int64_t start = range ? range->location : 0;
        range = TextRange{start + Destination::caretLength(clipboard.text()), 0};
    };
}

void ControllerHarness::speak(const QString &words) { m_words = words; }

bool ControllerHarness::settle(const std::function<bool()> &done, bool moveClock)
{
    for (int round = 0; round < 5000; ++round) {
        QCoreApplication::processEvents();
        if (done())
            return true;
        if (moveClock && clock.pendingSleeps() > 0)
            clock.advance(0.01);
        else
            QTest::qWait(1); // the analysis runs on a worker thread and posts its end
    }
    return done();
}

void ControllerHarness::drain()
{
    for (int round = 0; round < 20; ++round)
        QCoreApplication::processEvents();
}

bool ControllerHarness::startRecording(double time)
{
    press(time);
    return settle([this] { return m_controller->phase() != DictationController::Phase::preparing; });
}

bool ControllerHarness::finishRecording(double time)
{
    // The session needs more than 0.2 s of audio.
    clock.advance(1.0);
    release(time);
    return settle([this] { return m_controller->phase() == DictationController::Phase::idle; }, true);
}

} // namespace talvex::test
