// talvex transcribe with the transcription server giving the final text: real PocketSphinx for the
// stand-in, a scripted server on loopback inside the test process.
#include "LoopbackHttpServer.h"
#include "ReceivedForm.h"
#include "ServerFinalSpeechService.h"
#include "SphinxSpeechService.h"
#include "TranscribeRun.h"
#include "WavFile.h"

#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <gtest/gtest.h>

namespace talvex::test {
namespace {

const QString cards = QStringLiteral("/usr/share/pocketsphinx/test/data/cards");
constexpr auto transcriptionsPath = "/v1/audio/transcriptions";

class ServerTranscribeTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() { s_sphinx = new SphinxSpeechService; }
    static void TearDownTestSuite() { delete s_sphinx; }

    TranscribeOutcome transcribe(const QStringList &arguments)
    {
        ServerFinalSpeechService speech(
            *s_sphinx, QStringLiteral("PocketSphinx"),
            std::make_unique<TranscriptionClient>(SttEndpoint::fromSettings(
                server.url(QStringLiteral("127.0.0.1"), QStringLiteral("/v1")).toString(), {},
                QStringLiteral("2"))));
        return runTranscribe(arguments, speech);
    }

    static SphinxSpeechService *s_sphinx;
    LoopbackHttpServer server;
};

SphinxSpeechService *ServerTranscribeTest::s_sphinx = nullptr;

TEST_F(ServerTranscribeTest, TheServersTextIsPrintedAndItGotTheWholeFile)
{
    server.answer(transcriptionsPath, 200, R"({"text":" Ten of clubs. "})");
    const QString file = cards + "/001.wav";
    const auto outcome = transcribe({"--partials", file});
    EXPECT_EQ(outcome.exitCode, TranscribeCommand::success);
    ASSERT_FALSE(outcome.out.isEmpty());
    EXPECT_EQ(outcome.out.last(), QStringLiteral("Ten of clubs."));
    EXPECT_TRUE(outcome.out.first().startsWith(QStringLiteral("partial: "))) << "PocketSphinx's running text";
    EXPECT_TRUE(outcome.err.isEmpty()) << outcome.err.join('\n').toStdString();

    ASSERT_EQ(server.requests().last().path, transcriptionsPath);
    const auto form =
        readForm(server.requests().last().headers.value("content-type"), server.requests().last().body);
    ASSERT_TRUE(form);
    EXPECT_EQ(form->value("language").data, "en");
    const auto sent = readWav(form->value("file").data);
    const auto original = WavFile::read(file);
    ASSERT_TRUE(sent && std::holds_alternative<WavAudio>(original));
    EXPECT_EQ(sent->rate, 16000u);
    EXPECT_EQ(sent->channels, 1u);
    // The whole file once, but for the resampler's last few milliseconds, which no recogniser gets.
    const auto frames = std::get<WavAudio>(original).frameCount();
    EXPECT_LE(qsizetype(sent->samples.size()), frames);
    EXPECT_GE(qsizetype(sent->samples.size()), frames - 16000 / 20);
}

TEST_F(ServerTranscribeTest, AServerErrorPrintsPocketSphinxsTextAndSaysWhy)
{
    server.answer(transcriptionsPath, 500, R"({"error":"model not loaded"})");
    const QString file = cards + "/001.wav";
    const auto outcome = transcribe({file, cards + "/003.wav"});
    EXPECT_EQ(outcome.exitCode, TranscribeCommand::success);
    // Several files: each transcript after its file's name.
    EXPECT_EQ(outcome.out, (QStringList{file + ": ten of clubs", cards + "/003.wav: seven of clubs"}));
    const QString why =
        QStringLiteral("The transcription server reported an error, so the on-device transcript was used.");
    ASSERT_EQ(outcome.err.size(), 2);
    EXPECT_EQ(outcome.err[0], file + QStringLiteral(": ") + why);

    // For scripts the note travels in the file's object, and nothing goes to the error stream.
    const auto json = transcribe({"--json", file});
    EXPECT_EQ(json.exitCode, TranscribeCommand::success);
    ASSERT_EQ(json.out.size(), 1);
    const QJsonObject object = QJsonDocument::fromJson(json.out[0].toUtf8()).object();
    EXPECT_EQ(object.value("text").toString(), QStringLiteral("ten of clubs"));
    EXPECT_EQ(object.value("recognizerNote").toString(), why);
    EXPECT_TRUE(json.err.isEmpty()) << json.err.join('\n').toStdString();
}

TEST(TranscribeRecognizerOption, NamesOneRecogniserOrLeavesTheChoiceToTheConfiguration)
{
    using Recognizer = TranscribeCommand::Recognizer;
    const std::pair<QStringList, std::optional<Recognizer>> cases[] = {
        {{"a.wav"}, Recognizer::configured},
        {{"--recognizer", "sphinx", "a.wav"}, Recognizer::sphinx},
        {{"a.wav", "--recognizer", "server"}, Recognizer::server},
        {{"--recognizer", "cloud", "a.wav"}, std::nullopt},
        {{"--recognizer"}, std::nullopt},
    };
    for (const auto &[arguments, recognizer] : cases) {
        const auto parsed = TranscribeCommand::parse(arguments);
        const auto *options = std::get_if<TranscribeCommand::Options>(&parsed);
        EXPECT_EQ(options ? std::optional(options->recognizer) : std::nullopt, recognizer)
            << arguments.join(' ').toStdString();
        if (!options) {
            EXPECT_EQ(std::get<QString>(parsed), QStringLiteral("--recognizer takes sphinx or server."));
        }
    }
}

} // namespace
} // namespace talvex::test
