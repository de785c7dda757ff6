#include "ChatCompletionsModel.h"
#include "LoopbackHttpServer.h"
#include "core/ControllerTexts.h"
#include "refine/LocalModels.h"

#include <QCoro/QCoroTask>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QCoreApplication>
#include <QNetworkInterface>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>

#include <gtest/gtest.h>

using namespace talvex;
using namespace std::chrono_literals;
using talvex::test::LoopbackHttpServer;
using Behaviour = LoopbackHttpServer::Behaviour;
using LocalModels::Refinement;

namespace {

constexpr auto modelsPath = "/v1/models";
constexpr auto chatPath = "/v1/chat/completions";

class ChatCompletionsModelTest : public ::testing::Test {
protected:
    void SetUp() override { server.answer(modelsPath, 200, LoopbackHttpServer::modelList({"other", "tiny"})); }

    // A service on the test server, with the first probe answered.
    std::unique_ptr<ChatCompletionsModel> connect(const QString &model = QStringLiteral("tiny"),
                                                  std::chrono::milliseconds idleLimit = 30s)
    {
        const LlmEndpoint endpoint = LlmEndpoint::fromSettings(server.url(QStringLiteral("127.0.0.1"), QStringLiteral("/v1")).toString(), model);
        auto service = std::make_unique<ChatCompletionsModel>(endpoint, ChatCompletionsModel::Timing{idleLimit, 30s, 0ms});
        QCoro::waitFor(service->refresh());
        return service;
    }

    Refinement refine(ChatCompletionsModel &service, const QString &text, WritingMode mode = WritingMode::clean)
    {
        return QCoro::waitFor(LocalModels::refine(text, mode, QStringLiteral("en-US"), service));
    }

    // The chat requests the server saw (probes left out).
    QList<LoopbackHttpServer::Request> chatRequests() const
    {
        QList<LoopbackHttpServer::Request> chats;
        for (const auto &request : server.requests()) {
            if (request.path == chatPath)
                chats.append(request);
        }
        return chats;
    }

    static QString status(const ChatCompletionsModel &service) { return ControllerTexts::modelStatus(service.availability()); }

    LoopbackHttpServer server;
};

} // namespace

TEST_F(ChatCompletionsModelTest, AnswerIsTrimmedAndUsedAndBlankAnswerKeepsTheOriginal)
{
    auto service = connect();
    ASSERT_EQ(service->availability(), ModelAvailability::available);

    server.answer(chatPath, 200, LoopbackHttpServer::completion(QStringLiteral("\n\n  I can meet at noon.\n \n")));
    EXPECT_EQ(refine(*service, QStringLiteral("um I can meet at noon")), (Refinement{QStringLiteral("I can meet at noon."), std::nullopt}));

    server.answer(chatPath, 200, LoopbackHttpServer::completion(QStringLiteral(" \n\n \t\n")));
    EXPECT_EQ(refine(*service, QStringLiteral("keep me")), (Refinement{QStringLiteral("keep me"), LocalModels::emptyAnswerNote()}));
    EXPECT_EQ(LocalModels::emptyAnswerNote(), QStringLiteral("Cleanup returned no text. Kept the original."));

    // The backend hands the content over untouched; trimming is the rewrite's decision.
    const ModelResponse raw = QCoro::waitFor(service->respond(QStringLiteral("i"), QStringLiteral("p")));
    EXPECT_EQ(raw.content, QStringLiteral(" \n\n \t\n"));
    EXPECT_TRUE(raw.error.isEmpty());

    // Some servers send the content as a list of text parts.
    server.answer(chatPath, 200, R"({"choices":[{"message":{"role":"assistant","content":[{"type":"text","text":"Hi "},{"type":"text","text":"there."}]}}]})");
    EXPECT_EQ(QCoro::waitFor(service->respond(QStringLiteral("i"), QStringLiteral("p"))).content, QStringLiteral("Hi there."));
}

TEST_F(ChatCompletionsModelTest, RequestBodyCarriesInstructionsPromptAndGreedyDecoding)
{
    auto service = connect();
    server.answer(chatPath, 200, LoopbackHttpServer::completion(QStringLiteral("Hi there.")));
    const QString transcript = QStringLiteral("hi there \u201Cquoted\u201D \\ \"raw\" \u00e9\n<b>");
    refine(*service, transcript, WritingMode::email);

    const auto chats = chatRequests();
    ASSERT_EQ(chats.size(), 1);
    EXPECT_EQ(chats[0].method, "POST");
    EXPECT_TRUE(chats[0].headers.value("content-type").startsWith("application/json"));
    QJsonParseError error;
    const QJsonObject body = QJsonDocument::fromJson(chats[0].body, &error).object();
    ASSERT_EQ(error.error, QJsonParseError::NoError);

    const QJsonArray expectedMessages{
        QJsonObject{{QStringLiteral("role"), QStringLiteral("system")}, {QStringLiteral("content"), LocalModels::refineInstructions()}},
        QJsonObject{{QStringLiteral("role"), QStringLiteral("user")},
                    {QStringLiteral("content"), LocalModels::refinePrompt(transcript, WritingMode::email)}}};
    EXPECT_EQ(body.value(QLatin1String("messages")).toArray(), expectedMessages);
    EXPECT_EQ(body.value(QLatin1String("messages"))[1][QLatin1String("content")].toString().right(transcript.size()), transcript)
        << "the transcript travels byte for byte";
    EXPECT_TRUE(body.value(QLatin1String("temperature")).isDouble());
    EXPECT_EQ(body.value(QLatin1String("temperature")).toDouble(), 0.0);
    EXPECT_EQ(body.value(QLatin1String("model")).toString(), QStringLiteral("tiny"));
    EXPECT_EQ(body.value(QLatin1String("stream")), QJsonValue(false));
    QStringList keys = body.keys();
    keys.sort();
    EXPECT_EQ(keys, (QStringList{QStringLiteral("messages"), QStringLiteral("model"), QStringLiteral("stream"),
                                 QStringLiteral("temperature")}))
        << "no token limit and nothing else";
}

TEST_F(ChatCompletionsModelTest, FailedRequestsKeepTheOriginalWithTheFailureNote)
{
    auto service = connect();
    const Refinement kept{QStringLiteral("original"), LocalModels::failedNote()};

    server.answer(chatPath, 500, R"({"error":{"message":"out of memory"}})");
    EXPECT_EQ(refine(*service, QStringLiteral("original")), kept) << "HTTP error";
    server.answer(chatPath, 404, R"({"error":"model not found"})");
    EXPECT_EQ(refine(*service, QStringLiteral("original")), kept) << "HTTP 404";
    server.answer(chatPath, 200, R"({"choices":[{"message":{"content":"unterminated)");
    EXPECT_EQ(refine(*service, QStringLiteral("original")), kept) << "malformed JSON";
    server.answer(chatPath, 200, R"({"choices":[]})");
    EXPECT_EQ(refine(*service, QStringLiteral("original")), kept) << "no choice";
    server.answer(chatPath, 200, R"({"choices":[{"message":{"content":null}}]})");
    EXPECT_EQ(refine(*service, QStringLiteral("original")), kept) << "no content";
    server.answer(chatPath, 200, R"(["not", "an", "object"])");
    EXPECT_EQ(refine(*service, QStringLiteral("original")), kept) << "not an object";
    server.on(chatPath, Behaviour{Behaviour::Kind::hangUp, 0, {}, {}});
    EXPECT_EQ(refine(*service, QStringLiteral("original")), kept) << "connection dropped";

    const ModelResponse response = QCoro::waitFor(service->respond(QStringLiteral("i"), QStringLiteral("secret words")));
    EXPECT_FALSE(response.content);
    EXPECT_FALSE(response.error.isEmpty());
    EXPECT_FALSE(response.error.contains(QStringLiteral("secret"))) << "the description carries no transcript";
}

TEST_F(ChatCompletionsModelTest, OversizedAnswerIsCutOffAndKeepsTheOriginal)
{
    auto service = connect();
    // A well-formed answer whose text alone is past the 8 MiB bound, and one comfortably inside it.
    const struct {
        qsizetype textBytes;
        bool accepted;
    } cases[] = {{8 * 1024 * 1024 + 1, false}, {1024 * 1024, true}};
    for (const auto &c : cases) {
        const QString text(c.textBytes, QLatin1Char('a'));
        server.answer(chatPath, 200, LoopbackHttpServer::completion(text));
        const ModelResponse response = QCoro::waitFor(service->respond(QStringLiteral("i"), QStringLiteral("p")));
        if (c.accepted) {
            EXPECT_EQ(response.content, text);
        } else {
            EXPECT_FALSE(response.content);
            EXPECT_EQ(response.error, QStringLiteral("The answer is larger than 8388608 bytes."));
        }
    }
}

TEST_F(ChatCompletionsModelTest, RefusedConnectionFailsAndTheNextProbeShowsTheServerGone)
{
    auto service = connect();
    ASSERT_EQ(service->availability(), ModelAvailability::available);

    // A port that was just free: nothing listens there any more.
    QTcpServer closed;
    ASSERT_TRUE(closed.listen(QHostAddress::LocalHost));
    const quint16 deadPort = closed.serverPort();
    closed.close();
    auto refused = std::make_unique<ChatCompletionsModel>(
        LlmEndpoint::fromSettings(QStringLiteral("http://127.0.0.1:%1/v1").arg(deadPort), QStringLiteral("tiny")),
        ChatCompletionsModel::Timing{30s, 30s, 0ms});
    EXPECT_EQ(QCoro::waitFor(refused->refresh()), ModelAvailability::unavailable);
    const ModelResponse response = QCoro::waitFor(refused->respond(QStringLiteral("i"), QStringLiteral("p")));
    EXPECT_FALSE(response.content);
    EXPECT_FALSE(response.error.isEmpty());

    // A failed request re-probes at once, so the cached state follows a server that went away.
    server.answer(modelsPath, 503, "{}");
    server.answer(chatPath, 503, "{}");
    QSignalSpy changed(service.get(), &ChatCompletionsModel::availabilityChanged);
    EXPECT_EQ(refine(*service, QStringLiteral("original")), (Refinement{QStringLiteral("original"), LocalModels::failedNote()}));
    ASSERT_TRUE(changed.count() > 0 || changed.wait());
    EXPECT_EQ(service->availability(), ModelAvailability::unavailable);
    EXPECT_EQ(changed.takeFirst().at(0).value<ModelAvailability>(), ModelAvailability::unavailable);
    EXPECT_EQ(refine(*service, QStringLiteral("original")), (Refinement{QStringLiteral("original"), LocalModels::unavailableNote()}));
}

TEST_F(ChatCompletionsModelTest, SilentServerFailsAfterTheIdleBound)
{
    auto service = connect(QStringLiteral("tiny"), 150ms);
    server.on(chatPath, Behaviour{Behaviour::Kind::silence, 0, {}, {}});
    const ModelResponse response = QCoro::waitFor(service->respond(QStringLiteral("i"), QStringLiteral("p")));
    EXPECT_FALSE(response.content);
    EXPECT_TRUE(response.error.contains(QStringLiteral("nothing for 0.15 seconds"))) << response.error.toStdString();
    EXPECT_EQ(chatRequests().size(), 1);

    EXPECT_EQ(refine(*service, QStringLiteral("original")), (Refinement{QStringLiteral("original"), LocalModels::failedNote()}));
}

TEST_F(ChatCompletionsModelTest, ShuttingDownFinishesAPendingRequestAsFailed)
{
    auto service = connect();
    server.on(chatPath, Behaviour{Behaviour::Kind::silence, 0, {}, {}});
    std::optional<ModelResponse> outcome;
    auto pending = [&]() -> QCoro::Task<> { outcome = co_await service->respond(QStringLiteral("i"), QStringLiteral("p")); };
    pending();
    QSignalSpy arrived(&server, &LoopbackHttpServer::requestReceived);
    while (chatRequests().isEmpty())
        ASSERT_TRUE(arrived.wait());
    EXPECT_FALSE(outcome);
    service.reset();
    ASSERT_TRUE(QTest::qWaitFor([&] { return outcome.has_value(); })) << "a caller awaiting the answer must not be left hanging";
    EXPECT_FALSE(outcome->content);
}

TEST_F(ChatCompletionsModelTest, RedirectsAreNotFollowed)
{
    LoopbackHttpServer elsewhere;
    elsewhere.answer(chatPath, 200, LoopbackHttpServer::completion(QStringLiteral("leaked")));
    auto service = connect();
    const QByteArray target = elsewhere.url(QStringLiteral("127.0.0.1"), QString::fromLatin1(chatPath)).toEncoded();
    server.on(chatPath, Behaviour{Behaviour::Kind::answer, 307, "{}", {{"Location", target}}});

    EXPECT_EQ(refine(*service, QStringLiteral("original")), (Refinement{QStringLiteral("original"), LocalModels::failedNote()}));
    EXPECT_EQ(elsewhere.connections(), 0);
}

TEST_F(ChatCompletionsModelTest, NonLoopbackUrlIsNeverContacted)
{
    // The test server also listens on every interface; the URL names this machine's outside
    // address, which would reach it if the service ever tried.
    LoopbackHttpServer everywhere(QHostAddress::AnyIPv4);
    everywhere.answer(modelsPath, 200, LoopbackHttpServer::modelList({"tiny"}));
    everywhere.answer(chatPath, 200, LoopbackHttpServer::completion(QStringLiteral("leaked")));
    QString outside = QStringLiteral("192.0.2.2");
    for (const QHostAddress &address : QNetworkInterface::allAddresses()) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol && !address.isLoopback())
            outside = address.toString();
    }
    ChatCompletionsModel service(LlmEndpoint::fromSettings(everywhere.url(outside, QStringLiteral("/v1")).toString(), QStringLiteral("tiny")),
                                 ChatCompletionsModel::Timing{30s, 30s, 0ms});

    EXPECT_EQ(service.availability(), ModelAvailability::notEnabled);
    EXPECT_EQ(QCoro::waitFor(service.refresh()), ModelAvailability::notEnabled);
    EXPECT_FALSE(QCoro::waitFor(service.respond(QStringLiteral("i"), QStringLiteral("p"))).content);
    EXPECT_EQ(refine(service, QStringLiteral("original")), (Refinement{QStringLiteral("original"), LocalModels::unavailableNote()}));
    // Give a stray connection every chance to arrive before counting.
    QCoreApplication::processEvents();
    EXPECT_EQ(everywhere.connections(), 0);
}

TEST_F(ChatCompletionsModelTest, AvailabilityFollowsTheModelListAndShowsItsStatusText)
{
    // Configured model listed (Ollama adds ":latest"), missing, and no model configured.
    server.answer(modelsPath, 200, LoopbackHttpServer::modelList({"llama3.2:latest", "qwen:7b"}));
    EXPECT_EQ(status(*connect(QStringLiteral("llama3.2"))), QStringLiteral("Ready"));
    EXPECT_EQ(status(*connect(QStringLiteral("qwen:7b"))), QStringLiteral("Ready"));
    EXPECT_EQ(status(*connect(QStringLiteral("qwen"))), QStringLiteral("Model is downloading"));
    auto anyModel = connect(QString());
    EXPECT_EQ(status(*anyModel), QStringLiteral("Ready"));
    EXPECT_EQ(anyModel->activeModel(), QStringLiteral("llama3.2:latest")) << "the first listed model is used";

    server.answer(modelsPath, 200, LoopbackHttpServer::modelList({}));
    EXPECT_EQ(status(*connect(QString())), QStringLiteral("Model is downloading"));
    server.answer(modelsPath, 200, R"({"models": "not a list"})");
    EXPECT_EQ(status(*connect()), QStringLiteral("Unavailable"));
    server.answer(modelsPath, 401, "{}");
    EXPECT_EQ(status(*connect()), QStringLiteral("Unavailable"));

    ChatCompletionsModel off(LlmEndpoint::fromSettings(QStringLiteral("off"), QString()), {});
    EXPECT_EQ(status(off), QStringLiteral("Local language model is off"));
    EXPECT_EQ(refine(off, QStringLiteral("original")), (Refinement{QStringLiteral("original"), LocalModels::unavailableNote()}));
    EXPECT_EQ(refine(off, QStringLiteral("original"), WritingMode::verbatim), (Refinement{QStringLiteral("original"), std::nullopt}));

    // Reading never waits for the server: the first probe runs in the background.
    server.answer(modelsPath, 200, LoopbackHttpServer::modelList({"llama3.2:latest"}));
    ChatCompletionsModel fresh(LlmEndpoint::fromSettings(server.url(QStringLiteral("localhost"), QStringLiteral("/v1")).toString(),
                                                         QStringLiteral("llama3.2")),
                               {});
    QSignalSpy probed(&fresh, &ChatCompletionsModel::availabilityChanged);
    EXPECT_EQ(status(fresh), QStringLiteral("Unavailable"));
    ASSERT_TRUE(probed.wait());
    EXPECT_EQ(status(fresh), QStringLiteral("Ready"));

    // The cache moves with the server and says so.
    server.answer(modelsPath, 200, LoopbackHttpServer::modelList({"other"}));
    auto service = connect();
    QSignalSpy changed(service.get(), &ChatCompletionsModel::availabilityChanged);
    server.answer(modelsPath, 200, LoopbackHttpServer::modelList({"tiny"}));
    EXPECT_EQ(QCoro::waitFor(service->refresh()), ModelAvailability::available);
    EXPECT_EQ(QCoro::waitFor(service->refresh()), ModelAvailability::available);
    ASSERT_EQ(changed.count(), 1) << "only real changes are announced";
    EXPECT_EQ(changed.at(0).at(0).value<ModelAvailability>(), ModelAvailability::available);
}

TEST_F(ChatCompletionsModelTest, LocaleSupportFollowsDeclaredLanguages)
{
    auto undeclared = connect();
    EXPECT_TRUE(undeclared->supportsLocale(QStringLiteral("en-US")));
    EXPECT_TRUE(undeclared->supportsLocale(QStringLiteral("ja-JP")));

    server.answer(modelsPath, 200, R"({"data":[{"id":"tiny","languages":["en","de-DE"]}]})");
    auto declared = connect();
    EXPECT_TRUE(declared->supportsLocale(QStringLiteral("en-US")));
    EXPECT_TRUE(declared->supportsLocale(QStringLiteral("de_AT")));
    EXPECT_FALSE(declared->supportsLocale(QStringLiteral("fr-FR")));
    server.answer(chatPath, 200, LoopbackHttpServer::completion(QStringLiteral("Bonjour.")));
    EXPECT_EQ(QCoro::waitFor(LocalModels::refine(QStringLiteral("bonjour"), WritingMode::clean, QStringLiteral("fr-FR"), *declared)),
              (Refinement{QStringLiteral("bonjour"), LocalModels::unavailableNote()}));
    EXPECT_TRUE(chatRequests().isEmpty());
}

TEST_F(ChatCompletionsModelTest, IdleServiceSendsNothingAndAStaleReadProbesAgain)
{
    const LlmEndpoint endpoint =
        LlmEndpoint::fromSettings(server.url(QStringLiteral("127.0.0.1"), QStringLiteral("/v1")).toString(), "tiny");
    ChatCompletionsModel service(endpoint, ChatCompletionsModel::Timing{30s, 30s, 1ms});
    QCoro::waitFor(service.refresh());
    const auto probes = [&] {
        return std::count_if(server.requests().begin(), server.requests().end(),
                             [](const auto &request) { return request.path == modelsPath; });
    };
    const auto before = probes();

    QTest::qWait(50); // time passes with nobody reading
    EXPECT_EQ(probes(), before) << "no polling while idle";

    QSignalSpy arrived(&server, &LoopbackHttpServer::requestReceived);
    EXPECT_EQ(service.availability(), ModelAvailability::available) << "the stale answer is served at once";
    EXPECT_EQ(service.availability(), ModelAvailability::available);
    ASSERT_TRUE(arrived.wait(5000));
    EXPECT_EQ(probes(), before + 1) << "one probe for any number of stale reads";
}
