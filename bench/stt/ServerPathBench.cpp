// What the transcription server path adds between the end of a dictation and its final text, beyond
// the server's own decoding: a 5 s sentence played at real-time pace through the live pipeline
// (file engine, libsoxr, PocketSphinx for the running text), with a server on loopback that answers
// the moment the request is in. Also the parts on their own: building the WAV and the form, and one
// request and answer on loopback.
//   bench_stt_server_path [runs]
#include "FileAudioEngine.h"
#include "LoopbackHttpServer.h"
#include "RecordedAudio.h"
#include "ServerFinalSpeechService.h"
#include "SphinxSpeechService.h"
#include "TranscriptionForm.h"
#include "WavFile.h"
#include "platform/SteadyClock.h"
#include "speech/LiveDictation.h"
#include "speech/LocalModels.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>

using namespace talvex;

namespace {

const char *sentence =
    "Please send the updated report to the whole team before the meeting tomorrow morning.";

QCoro::Task<double> measure(SpeechService &speech, const QString &locale, const WavAudio &audio)
{
    auto engine = std::make_unique<FileAudioEngine>(audio, FileAudioEngine::Pace::realTime);
    FileAudioEngine *player = engine.get();
    SteadyClock clock;
    LiveDictation live(speech, std::move(engine), clock);
    const QStringList hints{QStringLiteral("Talvex")};
    co_await live.start(speech.makeTranscriber(locale), hints, {}, {});
    co_await player->playedToEnd();
    const double end = SteadyClock::monotonicSeconds();
    co_await live.finish();
    co_return SteadyClock::monotonicSeconds() - end;
}

struct Spread {
    double median, min, max;
};

Spread spread(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return {values[values.size() / 2] * 1000, values.front() * 1000, values.back() * 1000};
}

QCoro::Task<> run(int runs)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sentence.wav"));
    QProcess::execute(QStringLiteral("flite"), {"-voice", "kal16", "-t", sentence, "-o", path});
    const WavAudio audio = std::get<WavAudio>(WavFile::read(path));
    std::printf("sentence: %.1f s\n", audio.duration());

    test::LoopbackHttpServer server;
    server.answer("/v1/audio/transcriptions", 200, R"({"text":"Please send the updated report."})");
    SphinxSpeechService sphinx;
    ServerFinalSpeechService withServer(
        sphinx, QStringLiteral("PocketSphinx"),
        std::make_unique<TranscriptionClient>(SttEndpoint::fromSettings(
            server.url(QStringLiteral("127.0.0.1"), QStringLiteral("/v1")).toString(),
            QStringLiteral("bench"))));
    const QString locale = co_await LocalModels::prepareSpeech(withServer, QStringLiteral("en-US"));
    co_await measure(sphinx, locale, audio); // settles the streaming decoder on the voice

    std::vector<double> alone, served;
    for (int i = 0; i < runs; ++i) {
        alone.push_back(co_await measure(sphinx, locale, audio));
        served.push_back(co_await measure(withServer, locale, audio));
    }
    const Spread a = spread(alone), s = spread(served);
    std::printf("end of audio to final text, median of %d (min, max):\n", runs);
    std::printf("  PocketSphinx alone:                 %6.1f ms (%.1f, %.1f)\n", a.median, a.min, a.max);
    std::printf("  server path, server answers at once: %6.1f ms (%.1f, %.1f)\n", s.median, s.min, s.max);

    // The parts: the recording of a 5 s dictation as a WAV in its form, and one exchange on loopback.
    PcmBuffer buffer = *PcmBuffer::make({16000, 1}, 683);
    buffer.frameLength = 683;
    std::fill(buffer.samples.begin(), buffer.samples.end(), 0.25f);
    std::vector<double> building, exchanging;
    TranscriptionClient client(SttEndpoint::fromSettings(
        server.url(QStringLiteral("127.0.0.1"), QStringLiteral("/v1")).toString(), QStringLiteral("bench")));
    co_await client.refresh();
    for (int i = 0; i < std::max(runs, 20); ++i) {
        QElapsedTimer timer;
        timer.start();
        RecordedAudio recording(60);
        for (int b = 0; b < 5 * 16000 / 683 + 1; ++b)
            recording.append(buffer);
        TranscriptionForm form;
        form.wav = recording.wav();
        form.prompt = TranscriptionForm::promptFor({QStringLiteral("Talvex")});
        const QByteArray body = form.body();
        building.push_back(double(timer.nsecsElapsed()) / 1e9);
        timer.start();
        co_await client.transcribe(form.wav, QStringLiteral("en"), form.prompt);
        exchanging.push_back(double(timer.nsecsElapsed()) / 1e9);
    }
    const Spread b = spread(building), e = spread(exchanging);
    std::printf("5 s of audio, median (min, max):\n");
    std::printf("  recording, WAV and form:            %6.2f ms (%.2f, %.2f)\n", b.median, b.min, b.max);
    std::printf("  request and answer on loopback:     %6.2f ms (%.2f, %.2f)\n", e.median, e.min, e.max);
    QCoreApplication::quit();
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("talvex.*.debug=false\ntalvex.*.info=false"));
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    QTimer::singleShot(0, [runs] { run(runs); });
    return app.exec();
}
