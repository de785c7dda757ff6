// The client against a scripted HTTP server on loopback inside the test process.
#include "TranscriptionClient.h"

#include "CountingNetwork.h"
#include "LoopbackHttpServer.h"
#include "ReceivedForm.h"

#include <QCoro/QCoroTask>
#include <QSignalSpy>
#include <QTcpServer>
#include <QTest>
#include <gtest/gtest.h>

using namespace talvex;
using namespace talvex::test;
using namespace std::chrono_literals;
using Behaviour = LoopbackHttpServer::Behaviour;
using Availability = TranscriptionClient::Availability;

namespace {

constexpr auto transcriptionsPath = "/v1/audio/transcriptions";
constexpr auto modelsPath = "/v1/models";

quint16 closedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

class TranscriptionClientTest : public ::testing::Test {
  protected:
    std::unique_ptr<TranscriptionClient> connect(const QString &model = QStringLiteral("small.en"),
                                                 const QString &timeout = QString(),
                                                 QNetworkAccessManager *network = nullptr)
    {
        auto client = std::make_unique<TranscriptionClient>(
            SttEndpoint::fromSettings(
                server.url(QStringLiteral("127.0.0.1"), QStringLiteral("/v1")).toString(), model, timeout),
            TranscriptionClient::Timing{5s, 0ms}, network);
        QCoro::waitFor(client->refresh());
        return client;
    }

    static TranscriptionOutcome transcribe(TranscriptionClient &client, QByteArray wav = "RIFF-audio")
    {
        return QCoro::waitFor(
            client.transcribe(std::move(wav), QStringLiteral("en"), QStringLiteral("Talvex, Zo\u00eb")));
    }

    QList<LoopbackHttpServer::Request> posts() const
    {
        QList<LoopbackHttpServer::Request> found;
        for (const auto &request : server.requests())
            if (request.path == transcriptionsPath)
                found << request;
        return found;
    }

    LoopbackHttpServer server;
};

} // namespace

TEST_F(TranscriptionClientTest, SendsTheDictationAsAMultipartFormAndReturnsTheTextAsSent)
{
    server.answer(transcriptionsPath, 200, R"({"text":"  Talvex heard Zo\u00eb. ","language":"en"})");
    auto client = connect();
    const TranscriptionOutcome outcome = transcribe(*client, QByteArray("RIFF\0\r\nwave", 11));
    EXPECT_EQ(outcome.text, QStringLiteral("  Talvex heard Zo\u00eb. "));
    EXPECT_EQ(outcome.failure, TranscriptionFailure::none);

    ASSERT_EQ(posts().size(), 1);
    const auto &request = posts().first();
    EXPECT_EQ(request.method, "POST");
    EXPECT_EQ(request.headers.value("accept"), "application/json");
    const auto form = readForm(request.headers.value("content-type"), request.body);
    ASSERT_TRUE(form) << request.body.toStdString();
    QList<QByteArray> fields = form->keys();
    std::sort(fields.begin(), fields.end());
    EXPECT_EQ(fields, (QList<QByteArray>{"file", "language", "model", "prompt", "response_format"}));
    EXPECT_EQ(form->value("file").disposition, R"(form-data; name="file"; filename="dictation.wav")");
    EXPECT_EQ(form->value("file").contentType, "audio/wav");
    EXPECT_EQ(form->value("file").data, QByteArray("RIFF\0\r\nwave", 11));
    EXPECT_EQ(form->value("model").data, "small.en");
    EXPECT_EQ(form->value("language").data, "en");
    EXPECT_EQ(QString::fromUtf8(form->value("prompt").data), QStringLiteral("Talvex, Zo\u00eb"));
    EXPECT_EQ(form->value("response_format").data, "json");

    // Without a configured model the first one the server lists is named, and none when it lists none.
    server.answer(modelsPath, 200, LoopbackHttpServer::modelList({"", "base", "large"}));
    EXPECT_EQ(connect(QString())->activeModel(), QStringLiteral("base"));
    server.answer(modelsPath, 404, "{}");
    auto unlisted = connect(QString());
    transcribe(*unlisted);
    EXPECT_FALSE(
        readForm(posts().last().headers.value("content-type"), posts().last().body)->contains("model"));
}

TEST_F(TranscriptionClientTest, EveryWayOfGivingNoUsableTextIsAFailureOfItsKind)
{
    LoopbackHttpServer elsewhere;
    elsewhere.answer(transcriptionsPath, 200, R"({"text":"leaked"})");
    const QByteArray redirect =
        elsewhere.url(QStringLiteral("127.0.0.1"), QString::fromLatin1(transcriptionsPath)).toEncoded();
    const struct {
        const char *name;
        Behaviour behaviour;
        TranscriptionFailure failure;
    } cases[] = {
        {"server error",
         {Behaviour::Kind::answer, 500, R"({"error":"out of memory"})", {}},
         TranscriptionFailure::httpError},
        {"unknown model",
         {Behaviour::Kind::answer, 404, R"({"error":"no such model"})", {}},
         TranscriptionFailure::httpError},
        {"redirect",
         {Behaviour::Kind::answer, 307, "{}", {{"Location", redirect}}},
         TranscriptionFailure::httpError},
        {"not JSON",
         {Behaviour::Kind::answer, 200, "Talvex heard this", {}},
         TranscriptionFailure::malformed},
        {"cut off",
         {Behaviour::Kind::answer, 200, R"({"text":"Talvex)", {}},
         TranscriptionFailure::malformed},
        {"no text",
         {Behaviour::Kind::answer, 200, R"({"segments":[]})", {}},
         TranscriptionFailure::malformed},
        {"text not a string",
         {Behaviour::Kind::answer, 200, R"({"text":42})", {}},
         TranscriptionFailure::malformed},
        {"a list", {Behaviour::Kind::answer, 200, R"(["text"])", {}}, TranscriptionFailure::malformed},
        {"empty text",
         {Behaviour::Kind::answer, 200, R"({"text":" \n\t "})", {}},
         TranscriptionFailure::empty},
        {"hung up", {Behaviour::Kind::hangUp, 0, {}, {}}, TranscriptionFailure::unreachable},
        {"silent", {Behaviour::Kind::silence, 0, {}, {}}, TranscriptionFailure::timedOut},
    };
    auto client = connect(QStringLiteral("small.en"), QStringLiteral("0.3"));
    for (const auto &row : cases) {
        server.on(transcriptionsPath, row.behaviour);
        const TranscriptionOutcome outcome = transcribe(*client);
        EXPECT_EQ(outcome.failure, row.failure) << row.name << ": " << outcome.detail.toStdString();
        EXPECT_FALSE(outcome.text) << row.name;
        EXPECT_FALSE(outcome.detail.contains(QStringLiteral("Talvex")))
            << row.name << ": the log never gets the text";
    }
    EXPECT_GE(posts().size(), int(std::size(cases))) << "one each (the network layer retries a hung-up one)";
    EXPECT_EQ(elsewhere.connections(), 0) << "redirects are not followed";

    TranscriptionClient refused(
        SttEndpoint::fromSettings(QStringLiteral("http://127.0.0.1:%1/v1").arg(closedPort()), {}), {});
    EXPECT_EQ(transcribe(refused).failure, TranscriptionFailure::unreachable);
    EXPECT_EQ(QCoro::waitFor(refused.refresh()), Availability::unreachable);

    // Abandoned while the server works on it.
    server.on(transcriptionsPath, {Behaviour::Kind::silence, 0, {}, {}});
    auto patient = connect();
    CancellationToken cancel;
    std::optional<TranscriptionOutcome> abandoned;
    auto waiting = [&]() -> QCoro::Task<> {
        abandoned = co_await patient->transcribe("RIFF", {}, {}, cancel);
    };
    waiting();
    QSignalSpy arrived(&server, &LoopbackHttpServer::requestReceived);
    ASSERT_TRUE(arrived.wait());
    cancel.cancel();
    ASSERT_TRUE(QTest::qWaitFor([&] { return abandoned.has_value(); }));
    EXPECT_EQ(abandoned->failure, TranscriptionFailure::cancelled);
}

TEST_F(TranscriptionClientTest, AvailabilityIsProbedInTheBackgroundAndOnlyWhenAStaleAnswerIsRead)
{
    server.answer(modelsPath, 200, LoopbackHttpServer::modelList({"small.en"}));
    const SttEndpoint endpoint = SttEndpoint::fromSettings(
        server.url(QStringLiteral("localhost"), QStringLiteral("/v1")).toString(), {});
    TranscriptionClient first(endpoint, TranscriptionClient::Timing{5s, 0ms});
    QSignalSpy answered(&first, &TranscriptionClient::availabilityChanged);
    EXPECT_EQ(first.availability(), Availability::checking) << "reading never waits for the server";
    ASSERT_TRUE(answered.wait());
    EXPECT_EQ(first.availability(), Availability::reachable);

    // Every answer older than a millisecond is stale; this client is not read until later.
    TranscriptionClient client(endpoint, TranscriptionClient::Timing{5s, 1ms});
    QSignalSpy changed(&client, &TranscriptionClient::availabilityChanged);
    ASSERT_TRUE(changed.wait());

    const auto probes = [&] { return server.requests().size() - posts().size(); };
    const auto before = probes();
    QTest::qWait(30); // time passes with nobody reading
    EXPECT_EQ(probes(), before) << "nothing is sent while idle";
    QSignalSpy arrived(&server, &LoopbackHttpServer::requestReceived);
    client.availability();
    client.availability();
    ASSERT_TRUE(arrived.wait());
    QCoreApplication::processEvents();
    EXPECT_EQ(probes(), before + 1) << "one probe for any number of stale reads";

    TranscriptionClient off(SttEndpoint::fromSettings(QStringLiteral("off"), {}), {});
    EXPECT_EQ(off.availability(), Availability::off);
    EXPECT_EQ(transcribe(off).failure, TranscriptionFailure::turnedOff);
}

TEST_F(TranscriptionClientTest, AnAddressOffThisMachineIsNeverContacted)
{
    server.answer(transcriptionsPath, 200, R"({"text":"leaked"})");
    CountingNetwork network;
    // Refused when configured...
    TranscriptionClient configured(SttEndpoint::fromSettings(QStringLiteral("http://192.0.2.7:8080/v1"), {}),
                                   {}, &network);
    EXPECT_EQ(QCoro::waitFor(configured.refresh()), Availability::off);
    EXPECT_EQ(transcribe(configured).failure, TranscriptionFailure::turnedOff);
    // ...and refused again when an endpoint was built around that rule.
    SttEndpoint forced;
    forced.baseUrl = QUrl(QStringLiteral("http://192.0.2.7:8080/v1"));
    TranscriptionClient bypassed(forced, {}, &network);
    EXPECT_EQ(QCoro::waitFor(bypassed.refresh()), Availability::unreachable);
    EXPECT_EQ(transcribe(bypassed).failure, TranscriptionFailure::turnedOff);
    QCoreApplication::processEvents();
    EXPECT_TRUE(network.requested.isEmpty()) << network.requested.first().toString().toStdString();

    // The same network layer does carry requests to this machine.
    auto local = connect(QStringLiteral("small.en"), {}, &network);
    EXPECT_TRUE(transcribe(*local).text);
    EXPECT_EQ(network.requested.size(), 3) << "two probes and the request";
}
