// The recogniser's own promise: a segment ended by a pause becomes a final result while the input is
// still open (the user keeps talking), partial text comes before it, and the rest follows at the end.
#include "AwaitTask.h"
#include "CepstralMeanFile.h"
#include "SphinxModel.h"
#include "SphinxSpeechService.h"
#include "WavFile.h"
#include "WordErrorRate.h"
#include "speech/LocalModels.h"

#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <thread>

namespace talvex::test {
namespace {

// `text` spoken by flite, resampled as the tap would deliver it: 16 kHz mono float.
std::vector<float> speech(const QTemporaryDir &dir, const QString &text)
{
    const QString path = dir.filePath("speech.wav");
    QProcess::execute("flite", {"-voice", "kal16", "-t", text, "-o", path});
    auto decoded = WavFile::read(path);
    const auto &audio = std::get<WavAudio>(decoded);
    EXPECT_EQ(audio.format, (AudioFormat{16000, 1}));
    return audio.samples;
}

void queue(AnalyzerInputStream &stream, const std::vector<float> &samples)
{
    for (std::size_t start = 0; start < samples.size(); start += 683) {
        const auto count = std::min<std::size_t>(683, samples.size() - start);
        auto buffer = PcmBuffer::make({16000, 1}, std::int64_t(count));
        std::copy_n(samples.begin() + std::ptrdiff_t(start), count, buffer->samples.begin());
        buffer->frameLength = std::int64_t(count);
        // The test's queue is large enough for all of it; a real tap would have stopped at 128.
        ASSERT_EQ(stream.yield(std::move(*buffer)), AnalyzerInputStream::YieldResult::enqueued);
    }
}

// The final text of `audio` through `module`: the whole input, then every final result joined.
QString finalText(SphinxSpeechService &service, const std::shared_ptr<Transcriber> &module,
                  const std::vector<float> &audio, const QStringList &hints = {})
{
    auto analyzer = service.makeAnalyzer(module);
    if (!hints.isEmpty())
        awaitTask(analyzer->setContext(hints));
    auto input = std::make_shared<AnalyzerInputStream>(100000);
    queue(*input, audio);
    input->finish();
    awaitTask(analyzer->start(input));
    awaitTask(analyzer->finalizeAndFinishThroughEndOfInput());
    QString text;
    while (auto result = awaitTask(module->nextResult()))
        if (result->isFinal)
            text = LocalModels::join(text, result->text);
    return text;
}

TEST(SegmentFinalsTest, PauseEndedSegmentIsFinalWhileTheUserKeepsTalking)
{
    QTemporaryDir dir;
    SphinxSpeechService service;
    const QString locale = awaitTask(LocalModels::prepareSpeech(service, "en-US"));
    const QString first = "the weather is nice today";
    const QString second = "please call me when you get home";
    const auto firstAudio = speech(dir, first);
    const auto secondAudio = speech(dir, second);
    const std::vector<float> pause(16000, 0.0f); // one second of silence ends a segment

    auto module = service.makeTranscriber(locale);
    auto analyzer = service.makeAnalyzer(module);
    auto input = std::make_shared<AnalyzerInputStream>(100000);
    queue(*input, firstAudio);
    queue(*input, pause);
    queue(*input, secondAudio); // still talking: the stream stays open

    auto analysis = analyzer->start(input);
    std::vector<SpeechResult> beforeEnd;
    for (;;) {
        auto result = awaitTask(module->nextResult());
        ASSERT_TRUE(result) << "results ended while the input was open";
        beforeEnd.push_back(*result);
        if (result->isFinal)
            break;
    }
    ASSERT_GE(beforeEnd.size(), 2u);
    EXPECT_FALSE(beforeEnd.front().isFinal) << "partial text comes first";
    EXPECT_LE(wordErrorRate(first, beforeEnd.back().text), 0.2) << beforeEnd.back().text.toStdString();

    queue(*input, pause);
    input->finish();
    awaitTask(std::move(analysis));
    awaitTask(analyzer->finalizeAndFinishThroughEndOfInput());
    QStringList finals;
    while (auto result = awaitTask(module->nextResult()))
        if (result->isFinal)
            finals << result->text;
    ASSERT_EQ(finals.size(), 1);
    EXPECT_LE(wordErrorRate(second, finals[0]), 0.2) << finals[0].toStdString();
}

TEST(SegmentFinalsTest, CancelledRecognitionEndsItsResultsAndFreesTheModel)
{
    QTemporaryDir dir;
    SphinxSpeechService service;
    const QString locale = awaitTask(LocalModels::prepareSpeech(service, "en-US"));
    const auto audio = speech(dir, "the weather is nice today and tomorrow it will rain");

    auto module = service.makeTranscriber(locale);
    auto analyzer = service.makeAnalyzer(module);
    auto input = std::make_shared<AnalyzerInputStream>(100000);
    queue(*input, audio);
    auto analysis = analyzer->start(input);
    input->finish();
    awaitTask(analyzer->cancelAndFinishNow());
    EXPECT_FALSE(awaitTask(module->nextResult())); // nothing after a cancel
    awaitTask(std::move(analysis));

    // The model is free again: a new recognition runs to its end.
    const QString text = finalText(service, service.makeTranscriber(locale), audio);
    EXPECT_LE(wordErrorRate("the weather is nice today and tomorrow it will rain", text), 0.2)
        << text.toStdString();
}

} // namespace
} // namespace talvex::test

namespace talvex::test {
namespace {

QString recognise(SphinxSpeechService &service, const QString &locale, const std::vector<float> &audio,
                  const QStringList &hints)
{
    return finalText(service, service.makeOfflineTranscriber(locale), audio, hints);
}

TEST(SegmentFinalsTest, HintedWordsBelongToTheDictationThatHintedThem)
{
    QTemporaryDir dir;
    SphinxSpeechService service;
    const QString locale = awaitTask(LocalModels::prepareSpeech(service, "en-US"));
    const auto audio = speech(dir, "Please open Talvex now.");

    EXPECT_FALSE(recognise(service, locale, audio, {}).contains("talvex"));
    EXPECT_TRUE(recognise(service, locale, audio, {"Talvex", "Kubernetes"}).contains("talvex"));
    EXPECT_TRUE(recognise(service, locale, audio, {"Talvex"}).contains("talvex")); // still hinted
    EXPECT_FALSE(recognise(service, locale, audio, {}).contains("talvex"));        // gone again
}

} // namespace
} // namespace talvex::test

namespace talvex::test {

// Preparations for different dictations may load models at the same time; the recogniser library's
// set-up shares process-wide state, so this once corrupted the heap. Every search width's arguments
// must also be ones the recogniser accepts, for both kinds of decoder.
TEST(SphinxModelLoadTest, ModelsOfEveryWidthLoadSafelyOnSeveralThreadsAtOnce)
{
    const SphinxModelFiles files =
        SphinxSpeechService(SphinxSpeechService::defaultModelRoot()).filesFor(QStringLiteral("en-US"));
    const std::vector<std::pair<SphinxSearch, SphinxNormalisation>> kinds{
        {SphinxSearch::fast, SphinxNormalisation::live},
        {SphinxSearch::accurate, SphinxNormalisation::live},
        {SphinxSearch::fast, SphinxNormalisation::whole},
        {SphinxSearch::accurate, SphinxNormalisation::whole}};
    std::vector<std::shared_ptr<SphinxModel>> models(kinds.size());
    std::vector<std::thread> loaders;
    for (std::size_t i = 0; i < kinds.size(); ++i)
        loaders.emplace_back(
            [&, i] { models[i] = SphinxModel::load(files, kinds[i].first, kinds[i].second); });
    for (auto &loader : loaders)
        loader.join();
    for (std::size_t i = 0; i < kinds.size(); ++i) {
        ASSERT_TRUE(models[i]);
        EXPECT_EQ(models[i]->search(), kinds[i].first);
        EXPECT_TRUE(kinds[i].second == SphinxNormalisation::live ? models[i]->live() : models[i]->whole());
    }
}

// The first dictation of a run without a kept normalisation estimates one from its own first speech
// and is as accurate as a later one; what it leaves is kept, and the next run starts from it. A
// damaged file is only a missing one.
TEST(SegmentFinalsTest, NormalisationIsEstimatedFirstThenCarriedAndKeptForTheNextRun)
{
    QTemporaryDir dir;
    const QString sentence = "please send the updated report to the whole team before the meeting tomorrow";
    const auto audio = speech(dir, sentence);
    const QString meanFolder = dir.filePath("cache/Talvex");
    const QString meanFile = meanFolder + "/speech-en-US.mean";
    QDir().mkpath(meanFolder);
    {
        QFile damaged(meanFile);
        ASSERT_TRUE(damaged.open(QIODevice::WriteOnly));
        damaged.write("41 -5.29 nan\n");
    }

    auto dictate = [&](SphinxSpeechService &service) {
        const QString locale = awaitTask(LocalModels::prepareSpeech(service, "en-US"));
        return finalText(service, service.makeTranscriber(locale), audio);
    };

    for (const char *run : {"first run", "next run"}) {
        SCOPED_TRACE(run);
        SphinxSpeechService service(SphinxSpeechService::defaultModelRoot(),
                                    SphinxSpeechService::Preload::dictation, meanFolder, SphinxSearch::fast);
        const bool firstRun = QByteArray(run) == "first run";
        const QString locale = awaitTask(LocalModels::prepareSpeech(service, "en-US"));
        EXPECT_EQ(service.model(locale)->hasChannelMean(), !firstRun);
        for (int dictation = 0; dictation < 2; ++dictation) {
            const QString text = dictate(service);
            EXPECT_LE(wordErrorRate(sentence, text), 0.15) << text.toStdString();
            EXPECT_TRUE(service.model(locale)->hasChannelMean());
        }
        const auto kept = CepstralMeanFile::read(meanFile, 13);
        ASSERT_TRUE(kept);
        EXPECT_GT(kept->front(), 30.0f); // the energy term of speech, not a default or garbage
    }
}

} // namespace talvex::test
