// Time from the end of the audio to the final transcript, for a short and a long utterance played at
// real-time pace through the whole live pipeline (file engine, libsoxr, PocketSphinx).
//   bench_speech_latency [runs]
#include "FileAudioEngine.h"
#include "SphinxSpeechService.h"
#include "WavFile.h"
#include "platform/SteadyClock.h"
#include "speech/LiveDictation.h"
#include "speech/LocalModels.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>

using namespace talvex;

namespace {

const char *shortText = "Please send the updated report to the whole team before the meeting tomorrow.";
const char *longText =
    "The weather was nice this morning, so we walked to the office together. "
    "After lunch we met with the new customer and talked about the plan for next year. "
    "They asked for a shorter schedule and a lower price, and we promised to send an answer on Monday. "
    "In the evening I called my sister and we talked for a long time about her new house.";

QCoro::Task<double> measure(SphinxSpeechService &speech, const QString &locale, const WavAudio &audio)
{
    auto engine = std::make_unique<FileAudioEngine>(audio, FileAudioEngine::Pace::realTime);
    FileAudioEngine *player = engine.get();
    SteadyClock clock;
    LiveDictation live(speech, std::move(engine), clock);
    co_await live.start(speech.makeTranscriber(locale), {}, {}, {});
    co_await player->playedToEnd();
    const double end = SteadyClock::monotonicSeconds();
    const QString transcript = co_await live.finish();
    const double latency = SteadyClock::monotonicSeconds() - end;
    std::fprintf(stderr, "  %.1f s of audio -> %lld words, %.0f ms after the end\n", audio.duration(),
                 static_cast<long long>(transcript.split(' ', Qt::SkipEmptyParts).size()), latency * 1000);
    co_return latency;
}

QCoro::Task<WavAudio> speak(const QString &path, const char *text)
{
    QProcess::execute(QStringLiteral("flite"), {"-voice", "kal16", "-t", text, "-o", path});
    auto decoded = WavFile::read(path);
    co_return std::get<WavAudio>(std::move(decoded));
}

QCoro::Task<> run(int runs)
{
    QTemporaryDir dir;
    SphinxSpeechService speech;
    const QString locale = co_await LocalModels::prepareSpeech(speech, QStringLiteral("en-US"));
    const WavAudio shortAudio = co_await speak(dir.filePath(QStringLiteral("short.wav")), shortText);
    const WavAudio longAudio = co_await speak(dir.filePath(QStringLiteral("long.wav")), longText);

    // The first dictation after loading: the streaming decoder has not settled on the voice yet, so
    // the last segment is decoded whole after the end.
    const double cold = co_await measure(speech, locale, shortAudio);
    std::printf("first dictation after loading, %.1f s utterance: %.0f ms\n", shortAudio.duration(),
                cold * 1000);

    for (const WavAudio *audio : {&shortAudio, &longAudio}) {
        std::vector<double> latencies;
        for (int i = 0; i < runs; ++i)
            latencies.push_back(co_await measure(speech, locale, *audio));
        std::sort(latencies.begin(), latencies.end());
        std::printf("utterance %.1f s: end of audio to final transcript, median of %d: %.0f ms (min %.0f, "
                    "max %.0f)\n",
                    audio->duration(), runs, latencies[latencies.size() / 2] * 1000, latencies.front() * 1000,
                    latencies.back() * 1000);
    }
    QCoreApplication::quit();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    QTimer::singleShot(0, [runs] { run(runs); });
    return app.exec();
}
