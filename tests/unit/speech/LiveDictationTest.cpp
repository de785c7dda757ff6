#include "speech/LiveDictation.h"

#include "AudioEngineDouble.h"
#include "AwaitTask.h"
#include "CancellationError.h"
#include "ManualClock.h"
#include "PlatformError.h"
#include "SpeechServiceDouble.h"
#include "speech/TalvexError.h"

#include <QCoro/QCoroTask>
#include <coroutine>
#include <gtest/gtest.h>

using namespace talvex;
using talvex::test::AudioEngineDouble;
using talvex::test::ManualClock;
using talvex::test::SpeechServiceDouble;

namespace {

struct SessionRig {
    SessionRig()
    {
        auto owned = std::make_unique<AudioEngineDouble>();
        engine = owned.get();
        live = std::make_unique<LiveDictation>(speech, std::move(owned), clock);
    }

    void start(QStringList words = {}, CancellationToken cancel = {})
    {
        auto module = speech.makeTranscriber("en-US");
        talvex::test::awaitTask(live->start(
            module, words,
            [this](QString text) -> QCoro::Task<> {
                updates << text;
                co_return;
            },
            [this](const WaveformFrame &) { ++frames; }, cancel));
    }

    template <typename F> std::optional<TalvexError> talvexFailure(F &&action)
    {
        try {
            action();
        } catch (const TalvexException &e) {
            return e.error();
        }
        return std::nullopt;
    }

    SpeechServiceDouble speech;
    ManualClock clock;
    AudioEngineDouble *engine = nullptr;
    std::unique_ptr<LiveDictation> live;
    QStringList updates;
    int frames = 0;
};

// Suspends the awaiting coroutine and leaves its handle in `slot` for the test to resume: a service
// call still running on another thread.
struct Parked {
    std::coroutine_handle<> *slot;
    bool await_ready() const noexcept { return false; }
    void await_suspend(std::coroutine_handle<> waiting) const noexcept { *slot = waiting; }
    void await_resume() const noexcept {}
};

// An engine whose start stays pending until the test resumes it, as while the audio server connects
// on another thread; it records every call that reaches it meanwhile.
class PendingStartEngine final : public AudioEngine {
  public:
    MicrophoneAuthorization authorizationStatus() override { return inner.authorizationStatus(); }
    MicrophoneProblem microphoneProblem() override { return inner.microphoneProblem(); }
    QCoro::Task<bool> requestAccess() override { return inner.requestAccess(); }
    QCoro::Task<AudioFormat> inputFormat() override { return inner.inputFormat(); }
    std::unique_ptr<AudioConverter> makeConverter(const AudioFormat &from, const AudioFormat &to) override
    {
        return inner.makeConverter(from, to);
    }
    void installTap(std::int64_t bufferSize, TapBlock block) override
    {
        inner.installTap(bufferSize, std::move(block));
    }
    void removeTap() override
    {
        if (starting)
            callsWhileStarting << "removeTap";
        inner.removeTap();
    }
    QCoro::Task<> start() override
    {
        starting = true;
        co_await Parked{&pendingStart};
        starting = false;
        co_await inner.start();
    }
    void stop() override
    {
        if (starting)
            callsWhileStarting << "stop";
        inner.stop();
    }

    AudioEngineDouble inner;
    bool starting = false;
    std::coroutine_handle<> pendingStart;
    QStringList callsWhileStarting;
};

// An analyzer whose hints stay pending until the test resumes them, as while the recogniser loads
// the words into its model on another thread; it records every call that reaches it meanwhile.
class PendingContextAnalyzer final : public Analyzer {
  public:
    explicit PendingContextAnalyzer(std::shared_ptr<Analyzer> inner) : m_inner(std::move(inner)) {}

    QCoro::Task<> setContext(QStringList contextualStrings) override
    {
        applying = true;
        co_await Parked{&pendingContext};
        applying = false;
        co_await m_inner->setContext(std::move(contextualStrings));
    }
    QCoro::Task<> start(std::shared_ptr<AnalyzerInputStream> input) override
    {
        return m_inner->start(std::move(input));
    }
    QCoro::Task<> finalizeAndFinishThroughEndOfInput() override
    {
        return m_inner->finalizeAndFinishThroughEndOfInput();
    }
    QCoro::Task<> cancelAndFinishNow() override
    {
        if (applying)
            callsWhileApplying << "cancelAndFinishNow";
        return m_inner->cancelAndFinishNow();
    }

    bool applying = false;
    std::coroutine_handle<> pendingContext;
    QStringList callsWhileApplying;

  private:
    std::shared_ptr<Analyzer> m_inner;
};

// The speech double, handing out analyzers whose hints stay pending.
class PendingContextSpeech final : public SpeechService {
  public:
    bool isAvailable() const override { return inner.isAvailable(); }
    QCoro::Task<QStringList> supportedLocales() override { return inner.supportedLocales(); }
    QCoro::Task<std::optional<QString>> supportedLocale(QString identifier) override
    {
        return inner.supportedLocale(std::move(identifier));
    }
    std::shared_ptr<Transcriber> makeTranscriber(const QString &locale) override
    {
        return inner.makeTranscriber(locale);
    }
    QCoro::Task<AssetStatus> assetStatus(std::shared_ptr<Transcriber> module) override
    {
        return inner.assetStatus(std::move(module));
    }
    QCoro::Task<std::unique_ptr<AssetInstallationRequest>>
    assetInstallationRequest(std::shared_ptr<Transcriber> module) override
    {
        return inner.assetInstallationRequest(std::move(module));
    }
    QCoro::Task<std::optional<AudioFormat>> bestAvailableAudioFormat(std::shared_ptr<Transcriber> module,
                                                                     AudioFormat input) override
    {
        return inner.bestAvailableAudioFormat(std::move(module), input);
    }
    std::shared_ptr<Analyzer> makeAnalyzer(std::shared_ptr<Transcriber> module) override
    {
        analyzer = std::make_shared<PendingContextAnalyzer>(inner.makeAnalyzer(std::move(module)));
        return analyzer;
    }

    SpeechServiceDouble inner;
    std::shared_ptr<PendingContextAnalyzer> analyzer;
};

} // namespace

TEST(LiveDictationTest, StartRunsTheStepsInOrderAndFinishReturnsTheTranscript)
{
    SessionRig rig;
    rig.speech.configureAnalyzer = [](test::AnalyzerDouble &analyzer) {
        analyzer.resultsAtFinalize = {{"hello", false}, {"hello there", true}, {" ", true}};
    };
    rig.start({"Talvex", "PocketSphinx"});
    EXPECT_EQ(rig.engine->calls, (QStringList{"inputFormat", "makeConverter", "installTap 2048", "start"}));
    EXPECT_EQ(rig.speech.lastAnalyzer->context, (QStringList{"Talvex", "PocketSphinx"}));
    EXPECT_TRUE(rig.live->hasTap());
    EXPECT_TRUE(rig.live->isStarted());

    for (int i = 0; i < 5; ++i)
        rig.engine->deliver(2048);
    EXPECT_EQ(rig.frames, 5); // three columns per 2048 frames at 48 kHz

    rig.clock.advance(0.21);
    const QString transcript = talvex::test::awaitTask(rig.live->finish());
    EXPECT_EQ(transcript, "hello there");
    EXPECT_EQ(rig.updates, (QStringList{"hello", "hello there", "hello there "}));
    EXPECT_EQ(*rig.speech.lastAnalyzer->buffersRead, 5);
    EXPECT_EQ(rig.speech.lastAnalyzer->calls,
              (QStringList{"setContext", "start", "start ended", "finalize"}));
    EXPECT_FALSE(rig.engine->running);
    EXPECT_FALSE(rig.engine->hasTap());
    EXPECT_FALSE(rig.live->hasTap());
}

TEST(LiveDictationTest, EmptyWordsMakeNoContext)
{
    SessionRig rig;
    rig.start();
    EXPECT_FALSE(rig.speech.lastAnalyzer->calls.contains("setContext"));
    talvex::test::awaitTask(rig.live->cancel());
}

TEST(LiveDictationTest, FinishTooEarlyFailsWithEmptyAudioAndStopsEverything)
{
    SessionRig rig;
    rig.start();
    rig.clock.advance(0.15); // not more than 0.2 s
    EXPECT_EQ(rig.talvexFailure([&] { talvex::test::awaitTask(rig.live->finish()); }),
              TalvexError::emptyAudio);
    EXPECT_FALSE(rig.engine->running);
    EXPECT_FALSE(rig.engine->hasTap());
    EXPECT_TRUE(rig.speech.lastAnalyzer->calls.contains("cancelAndFinishNow"));
    EXPECT_FALSE(rig.speech.lastAnalyzer->calls.contains("finalize"));
}

TEST(LiveDictationTest, FailedStartsLeaveWhatTheyBuiltForCancel)
{
    { // the engine refuses: its own error; finish then reports emptyAudio
        SessionRig rig;
        rig.engine->startError = QStringLiteral("Connection refused");
        try {
            rig.start();
            ADD_FAILURE() << "start should fail";
        } catch (const PlatformError &e) {
            EXPECT_EQ(e.description(), "Connection refused");
        }
        EXPECT_TRUE(rig.live->hasTap()); // left for cancel to remove
        rig.clock.advance(1.0);
        EXPECT_EQ(rig.talvexFailure([&] { talvex::test::awaitTask(rig.live->finish()); }),
                  TalvexError::emptyAudio);
        EXPECT_FALSE(rig.engine->hasTap());
    }
    { // no usable source
        SessionRig rig;
        rig.engine->format = {0, 1};
        EXPECT_EQ(rig.talvexFailure([&] { rig.start(); }), TalvexError::microphoneInput);
        EXPECT_TRUE(rig.speech.calls.filter("bestAvailableAudioFormat").isEmpty());
        rig.engine->format = {48000, 0};
        EXPECT_EQ(rig.talvexFailure([&] { rig.start(); }), TalvexError::microphoneInput);
    }
    { // no analyzer format
        SessionRig rig;
        rig.speech.analyzerFormat.reset();
        EXPECT_EQ(rig.talvexFailure([&] { rig.start(); }), TalvexError::microphoneInput);
        EXPECT_FALSE(rig.speech.lastAnalyzer);
    }
    { // no converter: the analyzer exists, the tap was never installed
        SessionRig rig;
        rig.engine->converterAvailable = false;
        EXPECT_EQ(rig.talvexFailure([&] { rig.start(); }), TalvexError::microphoneInput);
        EXPECT_TRUE(rig.speech.lastAnalyzer);
        EXPECT_FALSE(rig.live->hasTap());
        talvex::test::awaitTask(rig.live->cancel());
        EXPECT_TRUE(rig.speech.lastAnalyzer->calls.contains("cancelAndFinishNow"));
    }
    { // the hints cannot be applied
        SessionRig rig;
        rig.speech.configureAnalyzer = [](test::AnalyzerDouble &a) {
            a.contextError = QStringLiteral("bad hints");
        };
        EXPECT_THROW(rig.start({"word"}), PlatformError);
        EXPECT_FALSE(rig.engine->calls.contains("makeConverter"));
    }
}

TEST(LiveDictationTest, CancelledCallerStopsAtTheCheckPoints)
{
    SessionRig rig;
    CancellationToken token;
    token.cancel();
    EXPECT_THROW(rig.start({}, token), CancellationError);
    EXPECT_FALSE(rig.speech.lastAnalyzer); // stopped before the analyzer was made
    EXPECT_FALSE(rig.engine->calls.contains("start"));

    SessionRig second;
    CancellationToken during;
    second.speech.configureAnalyzer = [&during](test::AnalyzerDouble &) { during.cancel(); };
    EXPECT_THROW(second.start({"w"}, during), CancellationError);
    EXPECT_TRUE(second.speech.lastAnalyzer->calls.contains("setContext"));
    EXPECT_FALSE(second.engine->calls.contains("makeConverter"));
}

TEST(LiveDictationTest, OverrunSurfacesFromFinishAfterCancelling)
{
    SessionRig rig;
    rig.speech.configureAnalyzer = [](test::AnalyzerDouble &a) { a.stalled = true; };
    rig.start();
    for (int i = 0; i < 130; ++i)
        rig.engine->deliver(2048);
    rig.clock.advance(5.0);
    EXPECT_EQ(rig.talvexFailure([&] { talvex::test::awaitTask(rig.live->finish()); }),
              TalvexError::audioOverrun);
    EXPECT_EQ(rig.speech.lastAnalyzer->calls.last(), "cancelAndFinishNow");
    EXPECT_FALSE(rig.speech.lastAnalyzer->calls.contains("finalize"));
    EXPECT_FALSE(rig.engine->running);
    EXPECT_FALSE(rig.engine->hasTap());
}

TEST(LiveDictationTest, FinalizeFailureCancelsAndPassesTheErrorOn)
{
    SessionRig rig;
    rig.speech.configureAnalyzer = [](test::AnalyzerDouble &a) {
        a.finalizeError = QStringLiteral("decoder failed");
    };
    rig.start();
    rig.clock.advance(1.0);
    EXPECT_THROW(talvex::test::awaitTask(rig.live->finish()), PlatformError);
    EXPECT_EQ(rig.speech.lastAnalyzer->calls.last(), "cancelAndFinishNow");
}

TEST(LiveDictationTest, CancelOnAFreshSessionOnlyStopsTheEngine)
{
    SessionRig rig;
    talvex::test::awaitTask(rig.live->cancel());
    EXPECT_EQ(rig.engine->calls, QStringList{"stop"});
    rig.clock.advance(1.0);
    EXPECT_EQ(rig.talvexFailure([&] { talvex::test::awaitTask(rig.live->finish()); }),
              TalvexError::emptyAudio);
}

TEST(LiveDictationTest, MicrophoneRequestAsksOnlyWhenUndecided)
{
    AudioEngineDouble engine;
    for (auto status : {MicrophoneAuthorization::restricted, MicrophoneAuthorization::denied}) {
        engine.status = status;
        EXPECT_FALSE(talvex::test::awaitTask(LiveDictation::requestMicrophone(engine)));
    }
    engine.status = MicrophoneAuthorization::authorized;
    EXPECT_TRUE(talvex::test::awaitTask(LiveDictation::requestMicrophone(engine)));
    EXPECT_FALSE(engine.calls.contains("requestAccess"));

    engine.status = MicrophoneAuthorization::notDetermined;
    engine.accessAnswer = false;
    EXPECT_FALSE(talvex::test::awaitTask(LiveDictation::requestMicrophone(engine)));
    EXPECT_TRUE(engine.calls.contains("requestAccess"));
}

TEST(LiveDictationTest, CancelWhileTheEngineStartsLeavesItAloneThenStopsItWithoutAnalysis)
{
    for (const bool engineFails : {false, true}) {
        SpeechServiceDouble speech;
        ManualClock clock;
        auto owned = std::make_unique<PendingStartEngine>();
        PendingStartEngine *engine = owned.get();
        if (engineFails)
            engine->inner.startError = QStringLiteral("Connection refused");
        LiveDictation live(speech, std::move(owned), clock);

        auto starting = live.start(speech.makeTranscriber("en-US"), {}, {}, {});
        ASSERT_TRUE(engine->pendingStart);
        auto cancelling = live.cancel(); // e.g. the shortcut released while the server connects
        EXPECT_TRUE(engine->callsWhileStarting.isEmpty());

        engine->pendingStart.resume();
        if (engineFails)
            EXPECT_THROW(talvex::test::awaitTask(std::move(starting)), PlatformError);
        else
            EXPECT_THROW(talvex::test::awaitTask(std::move(starting)), CancellationError);
        talvex::test::awaitTask(std::move(cancelling));

        EXPECT_FALSE(engine->inner.running) << engineFails;
        EXPECT_FALSE(engine->inner.hasTap()) << engineFails;
        EXPECT_FALSE(live.isStarted());
        EXPECT_FALSE(speech.lastAnalyzer->calls.contains("start")) << engineFails;
    }
}

TEST(LiveDictationTest, CancelWhileTheHintsAreAppliedCancelsTheAnalyzerOnlyAfterThem)
{
    for (const bool hintsFail : {false, true}) {
        PendingContextSpeech speech;
        ManualClock clock;
        if (hintsFail)
            speech.inner.configureAnalyzer = [](test::AnalyzerDouble &a) { a.contextError = "bad hints"; };
        auto owned = std::make_unique<AudioEngineDouble>();
        AudioEngineDouble *engine = owned.get();
        LiveDictation live(speech, std::move(owned), clock);

        auto starting = live.start(speech.makeTranscriber("en-US"), {"Talvex"}, {}, {});
        ASSERT_TRUE(speech.analyzer && speech.analyzer->pendingContext);
        auto cancelling = live.cancel(); // the recogniser's model is still being changed
        EXPECT_TRUE(speech.analyzer->callsWhileApplying.isEmpty());

        speech.analyzer->pendingContext.resume();
        if (hintsFail)
            EXPECT_THROW(talvex::test::awaitTask(std::move(starting)), PlatformError);
        else
            EXPECT_THROW(talvex::test::awaitTask(std::move(starting)), CancellationError);
        talvex::test::awaitTask(std::move(cancelling));

        const QStringList calls = speech.inner.lastAnalyzer->calls;
        EXPECT_EQ(calls, (QStringList{"setContext", "cancelAndFinishNow"})) << hintsFail;
        EXPECT_FALSE(engine->calls.contains("makeConverter"));
    }
}
