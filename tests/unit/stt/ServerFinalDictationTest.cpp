// Whole dictations through the controller with the transcription server giving the final text. The
// speech double stands for the on-device recogniser: it gives the running text, and its final
// transcript ("hello world") stands in whenever the server gives nothing usable.
#include "ControllerHarness.h"
#include "CountingNetwork.h"
#include "LoopbackHttpServer.h"
#include "ReceivedForm.h"
#include "ServerFinalSpeechService.h"

#include <QTcpServer>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>

using namespace talvex;
using namespace talvex::test;
using namespace std::chrono_literals;
using Behaviour = LoopbackHttpServer::Behaviour;

namespace {

constexpr auto transcriptionsPath = "/v1/audio/transcriptions";

/// The controller over the speech double wrapped in the server arrangement.
class ServerRig {
  public:
    explicit ServerRig(const QString &url, const QString &timeout = {},
                       QNetworkAccessManager *network = nullptr)
    {
        auto client = std::make_unique<TranscriptionClient>(
            SttEndpoint::fromSettings(url, QStringLiteral("small.en"), timeout),
            TranscriptionClient::Timing{5s, 0ms}, network);
        service = std::make_unique<ServerFinalSpeechService>(h.speech, QStringLiteral("PocketSphinx"),
                                                             std::move(client));
        h.speechOverride = service.get();
        h.make();
        h.pasteLands();
        Preferences preferences = h.controller().preferences();
        preferences.vocabulary = QStringLiteral("Talvex\nQuindlark\n");
        h.controller().setPreferences(preferences);
    }
    ~ServerRig()
    {
        h.destroy(); // the controller goes before the speech service it uses
        h.drain();
    }

    /// One held dictation with a buffer of each level from the microphone (48 kHz, 2048 frames).
    bool dictate(const std::vector<float> &levels)
    {
        if (!h.startRecording(1.0))
            return false;
        for (const float level : levels)
            h.engine()->deliver(2048, level);
        return h.finishRecording(2.0);
    }

    AnalyzerDouble &analyzer() { return *h.speechDouble.lastAnalyzer; }

    ControllerHarness h;
    std::unique_ptr<ServerFinalSpeechService> service;
};

QString serverUrl(const LoopbackHttpServer &server)
{
    return server.url(QStringLiteral("127.0.0.1"), QStringLiteral("/v1")).toString();
}

QList<LoopbackHttpServer::Request> posts(const LoopbackHttpServer &server)
{
    QList<LoopbackHttpServer::Request> found;
    for (const auto &request : server.requests())
        if (request.path == transcriptionsPath)
            found << request;
    return found;
}

std::int16_t pcm(float level)
{
    return std::int16_t(std::nearbyint(level * 32767.0f));
}

} // namespace

TEST(ServerFinalDictationTest, ServerTextIsDeliveredAndItsRequestCarriesTheWholeDictation)
{
    LoopbackHttpServer server;
    server.answer(transcriptionsPath, 200, R"({"text":" The server's words, Talvex. "})");
    ServerRig rig(serverUrl(server));

    ASSERT_TRUE(rig.h.startRecording(1.0));
    // The running text is the on-device recogniser's, as it would be without the server.
    rig.h.speechDouble.lastTranscriber->channel->push({QStringLiteral("hello"), true});
    rig.h.speechDouble.lastTranscriber->channel->push({QStringLiteral("wor"), false});
    ASSERT_TRUE(rig.h.settle([&] { return rig.h.controller().liveText() == QStringLiteral("hello wor"); }));
    const std::vector<float> levels{0.1f, -0.2f, 0.3f, 0.5f};
    for (const float level : levels)
        rig.h.engine()->deliver(2048, level);
    ASSERT_TRUE(rig.h.finishRecording(2.0));

    const auto &latest = rig.h.controller().latest();
    ASSERT_TRUE(latest);
    EXPECT_EQ(latest->original, QStringLiteral("The server's words, Talvex."));
    EXPECT_EQ(latest->text, latest->original);
    EXPECT_EQ(rig.h.controller().lastPasteStatus(), QStringLiteral("Text Editor: Paste confirmed"));
    EXPECT_FALSE(rig.h.controller().message());
    EXPECT_EQ(rig.h.controller().library().history.size(), 1);
    EXPECT_TRUE(rig.analyzer().calls.contains(QStringLiteral("cancelAndFinishNow")))
        << "the on-device final is not waited for once the server has answered";
    EXPECT_FALSE(rig.analyzer().calls.contains(QStringLiteral("finalize")));

    ASSERT_EQ(posts(server).size(), 1);
    const auto form = readForm(posts(server)[0].headers.value("content-type"), posts(server)[0].body);
    ASSERT_TRUE(form);
    EXPECT_EQ(form->value("language").data, "en");
    EXPECT_EQ(form->value("prompt").data, "Talvex, Quindlark") << "the vocabulary reaches the server";
    EXPECT_EQ(form->value("model").data, "small.en");
    const auto wav = readWav(form->value("file").data);
    ASSERT_TRUE(wav);
    EXPECT_EQ(wav->rate, 16000u);
    EXPECT_EQ(wav->channels, 1u);
    EXPECT_EQ(wav->bits, 16u);
    const std::int64_t received = *rig.analyzer().framesRead;
    EXPECT_EQ(std::int64_t(wav->samples.size()), received) << "every frame the recogniser got, no more";
    EXPECT_EQ(wav->dataSize, received * 2);
    ASSERT_EQ(received % std::int64_t(levels.size()), 0);
    const auto perBuffer = std::size_t(received) / levels.size();
    for (std::size_t i = 0; i < levels.size(); ++i)
        EXPECT_EQ(wav->samples[i * perBuffer], pcm(levels[i])) << "buffer " << i << " in order";
}

TEST(ServerFinalDictationTest, WhenTheServerGivesNothingUsableTheOnDeviceTextIsDeliveredWithOneSentence)
{
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost);
    const QString refusedUrl = QStringLiteral("http://127.0.0.1:%1/v1").arg(closed.serverPort());
    closed.close();
    const struct {
        const char *name;
        std::optional<Behaviour> behaviour; ///< none: nothing listens
        QString note;
    } cases[] = {
        {"refused", std::nullopt,
         QStringLiteral(
             "The transcription server couldn\u2019t be reached, so the on-device transcript was used.")},
        {"HTTP error", Behaviour{Behaviour::Kind::answer, 503, R"({"error":"busy"})", {}},
         QStringLiteral("The transcription server reported an error, so the on-device transcript was used.")},
        {"malformed", Behaviour{Behaviour::Kind::answer, 200, R"({"text": "half)", {}},
         QStringLiteral("The transcription server\u2019s answer couldn\u2019t be read, so the on-device "
                        "transcript was used.")},
        {"empty", Behaviour{Behaviour::Kind::answer, 200, R"({"text":"  "})", {}},
         QStringLiteral("The transcription server returned no text, so the on-device transcript was used.")},
        {"silent", Behaviour{Behaviour::Kind::silence, 0, {}, {}},
         QStringLiteral("The transcription server took longer than 0.25 seconds, so the on-device transcript "
                        "was used.")},
    };
    for (const auto &row : cases) {
        SCOPED_TRACE(row.name);
        LoopbackHttpServer server;
        if (row.behaviour)
            server.on(transcriptionsPath, *row.behaviour);
        ServerRig rig(row.behaviour ? serverUrl(server) : refusedUrl, QStringLiteral("0.25"));
        ASSERT_TRUE(rig.dictate({0.1f, 0.2f}));

        const auto &latest = rig.h.controller().latest();
        ASSERT_TRUE(latest) << "the dictation is delivered all the same";
        EXPECT_EQ(latest->original, QStringLiteral("hello world"));
        EXPECT_EQ(latest->text, QStringLiteral("hello world"));
        EXPECT_EQ(rig.h.controller().lastPasteStatus(), QStringLiteral("Text Editor: Paste confirmed"))
            << "the status label stays the delivery's own";
        EXPECT_EQ(rig.h.controller().message(), row.note);
        EXPECT_TRUE(rig.analyzer().calls.contains(QStringLiteral("finalize")));
        EXPECT_EQ(posts(server).size(), row.behaviour ? 1 : 0);
    }
}

TEST(ServerFinalDictationTest, NothingIsSentForAnAbandonedDictationOrToAnAddressOffThisMachine)
{
    LoopbackHttpServer server;
    server.answer(transcriptionsPath, 200, R"({"text":"leaked"})");
    {
        ServerRig rig(serverUrl(server));
        ASSERT_TRUE(rig.h.startRecording(1.0));
        rig.h.engine()->deliver(2048, 0.1f);
        rig.h.controller().cancel();
        ASSERT_TRUE(rig.h.settle(
            [&] { return rig.analyzer().calls.contains(QStringLiteral("cancelAndFinishNow")); }));
        rig.h.drain();
        EXPECT_TRUE(posts(server).isEmpty());
        EXPECT_FALSE(rig.h.controller().message());
    }

    const int connections = server.connections();
    CountingNetwork network;
    ServerRig rig(QStringLiteral("http://192.0.2.7:8080/v1"), {}, &network);
    EXPECT_EQ(rig.service->finalTextRecognizer(), QStringLiteral("PocketSphinx"));
    ASSERT_TRUE(rig.dictate({0.1f}));
    EXPECT_EQ(rig.h.controller().latest()->original, QStringLiteral("hello world"));
    EXPECT_FALSE(rig.h.controller().message()) << "no server configured, nothing to note";
    EXPECT_TRUE(network.requested.isEmpty());
    EXPECT_EQ(server.connections(), connections);
}

TEST(ServerFinalDictationTest, SettingsNameTheRecogniserThatGivesTheFinalText)
{
    LoopbackHttpServer server;
    server.answer("/v1/models", 200, LoopbackHttpServer::modelList({"small.en"}));
    QTcpServer closed;
    closed.listen(QHostAddress::LocalHost);
    const QString port = QString::number(server.port());
    const QString closedPort = QString::number(closed.serverPort());
    closed.close();
    const std::pair<QString, QString> cases[] = {
        {QStringLiteral("off"), QStringLiteral("PocketSphinx")},
        {serverUrl(server), QStringLiteral("Transcription server at 127.0.0.1:%1 (small.en)").arg(port)},
        {QStringLiteral("http://127.0.0.1:%1/v1").arg(closedPort),
         QStringLiteral("PocketSphinx (transcription server at 127.0.0.1:%1 not reachable)").arg(closedPort)},
    };
    for (const auto &[url, name] : cases) {
        SpeechServiceDouble onDevice;
        ServerFinalSpeechService service(
            onDevice, QStringLiteral("PocketSphinx"),
            std::make_unique<TranscriptionClient>(SttEndpoint::fromSettings(url, {})));
        QObject watcher;
        int changes = 0;
        service.watchFinalTextRecognizer(&watcher, [&] { ++changes; });
        if (url != QStringLiteral("off")) {
            EXPECT_EQ(service.finalTextRecognizer(),
                      QStringLiteral("PocketSphinx (checking the transcription server\u2026)"));
            ASSERT_TRUE(QTest::qWaitFor([&] { return changes > 0; })) << url.toStdString();
        }
        EXPECT_EQ(service.finalTextRecognizer(), name);
    }
}
