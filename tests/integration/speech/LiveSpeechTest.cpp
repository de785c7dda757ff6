// The live dictation pipeline with the real backends: PulseAudio capture of the private desktop's
// default source (the null sink's monitor), libsoxr conversion and PocketSphinx recognition.
#include "AwaitTask.h"
#include "PulseAudioEngine.h"
#include "SphinxSpeechService.h"
#include "WordErrorRate.h"
#include "platform/PlatformError.h"
#include "platform/SteadyClock.h"
#include "speech/LiveDictation.h"
#include "speech/LocalModels.h"
#include "speech/TalvexError.h"

#include <QCoro/QCoroProcess>
#include <QCoro/QCoroTask>
#include <QDir>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <atomic>
#include <gtest/gtest.h>

namespace talvex::test {
namespace {

QString tempPath(const QString &name)
{
    return QDir(qEnvironmentVariable("TALVEX_TEST_TMP")).filePath(name);
}

bool run(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    return process.waitForFinished(120000) && process.exitStatus() == QProcess::NormalExit &&
           process.exitCode() == 0;
}

QString capture(const QString &program, const QStringList &arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(30000);
    return QString::fromUtf8(process.readAllStandardOutput());
}

// Capture streams of this client still open on the sound server.
int openCaptureStreams()
{
    return int(capture("pactl", {"list", "short", "source-outputs"})
                   .trimmed()
                   .split('\n', Qt::SkipEmptyParts)
                   .size());
}

std::optional<TalvexError> talvexErrorOf(const std::function<void()> &action)
{
    try {
        action();
    } catch (const TalvexException &e) {
        return e.error();
    }
    return std::nullopt;
}

class LiveSpeechTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite()
    {
        s_speech = new SphinxSpeechService;
        s_locale =
            new QString(awaitTask(LocalModels::prepareSpeech(*s_speech, QStringLiteral("en_US.UTF-8"))));
    }
    static void TearDownTestSuite()
    {
        delete s_speech;
        delete s_locale;
    }

    std::unique_ptr<LiveDictation> newSession()
    {
        return std::make_unique<LiveDictation>(*s_speech, std::make_unique<PulseAudioEngine>(), m_clock);
    }

    static SphinxSpeechService *s_speech;
    static QString *s_locale;
    SteadyClock m_clock;
};

SphinxSpeechService *LiveSpeechTest::s_speech = nullptr;
QString *LiveSpeechTest::s_locale = nullptr;

TEST_F(LiveSpeechTest, SpokenSentencesComeBackAsPartialsThenAnAccurateTranscript)
{
    const QString reference =
        QStringLiteral("The weather is nice today. I will send the report to my manager tomorrow morning. "
                       "Please call me when you get home.");
    const QString speech = tempPath("sentences.wav");
    ASSERT_TRUE(run("flite", {"-voice", "kal16", "-t", reference, "-o", speech}));

    PulseAudioEngine probe;
    EXPECT_EQ(probe.authorizationStatus(), MicrophoneAuthorization::authorized);
    EXPECT_TRUE(awaitTask(LiveDictation::requestMicrophone(probe)));

    // The first dictation after loading has no normalisation yet and estimates one from its first
    // speech; the second starts from what the first left. Both count.
    for (const char *round : {"first dictation", "second dictation"}) {
        SCOPED_TRACE(round);
        auto live = newSession();
        QStringList updates;
        std::atomic<int> frames = 0;
        std::atomic<double> newestTime = 0;
        const double startedAt = SteadyClock::monotonicSeconds();
        bool playing = false;
        int updatesWhilePlaying = 0;
        awaitTask(live->start(
            s_speech->makeTranscriber(*s_locale), {},
            [&](QString text) -> QCoro::Task<> {
                updates << text;
                if (playing)
                    ++updatesWhilePlaying;
                co_return;
            },
            [&](const WaveformFrame &frame) {
                ++frames;
                newestTime = frame.newestTime.value_or(0);
            }));

        playing = true;
        ASSERT_TRUE(awaitTask([&]() -> QCoro::Task<bool> {
            QProcess player;
            player.start("paplay", {"--device=" + qEnvironmentVariable("TALVEX_TEST_SINK"), speech});
            co_await qCoro(player).waitForFinished(120000);
            co_return player.exitStatus() == QProcess::NormalExit &&player.exitCode() == 0;
        }()));
        playing = false;

        const QString transcript = awaitTask(live->finish());
        EXPECT_GT(updatesWhilePlaying, 2) << "partial texts should arrive while the user speaks";
        EXPECT_GT(frames.load(), 0);
        // Buffer times are on the monotonic host clock, the clock the wave view draws with.
        EXPECT_GT(newestTime.load(), startedAt - 1.0);
        EXPECT_LT(newestTime.load(), SteadyClock::monotonicSeconds());
        EXPECT_LE(wordErrorRate(reference, transcript), 0.10) << transcript.toStdString();
        EXPECT_FALSE(live->hasTap());
        EXPECT_EQ(openCaptureStreams(), 0);
    }
}

TEST_F(LiveSpeechTest, StalledRecogniserOverrunsAndFinishCancelsTheSession)
{
    // Another user of the model holds it, so this dictation's recogniser reads nothing.
    auto model = s_speech->model(*s_locale);
    ASSERT_TRUE(model);
    model->acquire();

    auto live = newSession();
    QEventLoop enoughAudio;
    std::atomic<int> frames = 0;
    awaitTask(live->start(s_speech->makeTranscriber(*s_locale), {}, {}, [&](const WaveformFrame &) {
        // 2048-frame buffers make three columns each, a frame per three columns: 140 frames is past
        // the 128 buffers the queue holds.
        if (++frames == 140)
            QMetaObject::invokeMethod(&enoughAudio, &QEventLoop::quit, Qt::QueuedConnection);
    }));
    enoughAudio.exec();
    // The recogniser catches up and finds the stream ended by the overrun.
    model->release();

    EXPECT_EQ(talvexErrorOf([&] { awaitTask(live->finish()); }), TalvexError::audioOverrun);
    EXPECT_FALSE(live->hasTap());
    EXPECT_EQ(openCaptureStreams(), 0);

    // The cancelled session gave the model back: the next dictation runs normally.
    auto next = newSession();
    awaitTask(next->start(s_speech->makeTranscriber(*s_locale), {}, {}, {}));
    QEventLoop aSecond;
    QTimer::singleShot(1000, &aSecond, &QEventLoop::quit); // a length of recording, not a wait for an event
    aSecond.exec();
    EXPECT_NO_THROW(awaitTask(next->finish()));
}

TEST_F(LiveSpeechTest, FinishRightAfterStartIsEmptyAudioAndLeavesNothingRunning)
{
    auto live = newSession();
    awaitTask(live->start(s_speech->makeTranscriber(*s_locale), {"Talvex"}, {}, {}));
    EXPECT_EQ(openCaptureStreams(), 1);
    EXPECT_EQ(talvexErrorOf([&] { awaitTask(live->finish()); }), TalvexError::emptyAudio);
    EXPECT_FALSE(live->hasTap());
    EXPECT_EQ(openCaptureStreams(), 0);
}

TEST(PulseAudioEngineTest, NoServerMeansRestrictedAndNoUsableSource)
{
    const QByteArray saved = qgetenv("PULSE_SERVER");
    qputenv("PULSE_SERVER", "unix:" + tempPath("no-such-server").toUtf8());
    PulseAudioEngine engine;
    EXPECT_EQ(engine.authorizationStatus(), MicrophoneAuthorization::restricted);
    const AudioFormat format = awaitTask(engine.inputFormat());
    EXPECT_EQ(format.sampleRate, 0);
    EXPECT_THROW(awaitTask(engine.start()), PlatformError);
    qputenv("PULSE_SERVER", saved);
}

} // namespace
} // namespace talvex::test
