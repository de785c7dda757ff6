// The talvex executable dictating into zenity's GTK entry with a transcription server on loopback
// inside this test process: the server's text is pasted, and whatever goes wrong with the server,
// PocketSphinx's own text is pasted instead.
#include "DictationHarness.h"
#include "LoopbackHttpServer.h"
#include "ReceivedForm.h"
#include "WordErrorRate.h"

#include <QClipboard>
#include <QFileInfo>
#include <QGuiApplication>
#include <gtest/gtest.h>

namespace talvex::e2e {
namespace {

using test::LoopbackHttpServer;
using Behaviour = LoopbackHttpServer::Behaviour;

constexpr std::uint32_t controlKey = 0xffe3; // Control_L
constexpr std::uint32_t shiftKey = 0xffe1;   // Shift_L
constexpr std::uint32_t spaceKey = 0x20;
constexpr auto transcriptionsPath = "/v1/audio/transcriptions";

const QString sentence = QStringLiteral("Please send the report to my manager tomorrow morning.");

TEST(ServerFinalE2ETest, TheServersTextIsPastedAndWhateverGoesWrongPocketSphinxsTextIsPastedInstead)
{
    const auto wav = speechFile(sentence);
    ASSERT_TRUE(wav) << "flite could not speak the sentence";
    auto server = std::make_unique<LoopbackHttpServer>();
    Library library;
    library.preferences.vocabulary = QStringLiteral("Talvex\nQuindlark");
    const TalvexProcess::Options options{
        library,
        {QStringLiteral("TALVEX_STT_URL=") +
             server->url(QStringLiteral("127.0.0.1"), QStringLiteral("/v1")).toString(),
         QStringLiteral("TALVEX_STT_MODEL=small.en"), QStringLiteral("TALVEX_STT_TIMEOUT=2")}};
    XTestKeyboard keys;
    TalvexProcess talvex;
    EntryTarget target;
    QString error;
    ASSERT_TRUE(talvex.start(options, &error)) << error.toStdString();
    ASSERT_TRUE(target.start(&error)) << error.toStdString();
    const QString clipboardBefore = QStringLiteral("kept on the clipboard");
    QGuiApplication::clipboard()->setText(clipboardBefore);

    const QString serverText =
        QStringLiteral("Please send the report to my manager tomorrow morning, Quindlark.");
    const struct {
        const char *name;
        std::optional<Behaviour> behaviour; ///< none: the server has gone, nothing listens
    } rows[] = {
        {"answer",
         Behaviour{Behaviour::Kind::answer, 200, R"({"text":" )" + serverText.toUtf8() + R"( "})", {}}},
        {"HTTP error", Behaviour{Behaviour::Kind::answer, 500, R"({"error":"out of memory"})", {}}},
        {"malformed", Behaviour{Behaviour::Kind::answer, 200, "<html>busy</html>", {}}},
        {"empty", Behaviour{Behaviour::Kind::answer, 200, R"({"text":""})", {}}},
        {"silent past the bound", Behaviour{Behaviour::Kind::silence, 0, {}, {}}},
        {"refused", std::nullopt},
    };
    QString pasted;
    qsizetype dictations = 0;
    for (const auto &row : rows) {
        SCOPED_TRACE(row.name);
        const bool answers = dictations == 0;
        if (row.behaviour)
            server->on(transcriptionsPath, *row.behaviour);
        else
            server.reset();
        const auto stop =
            dictate(talvex, keys, {controlKey, shiftKey, spaceKey}, Gesture::hold, *wav, &error);
        ASSERT_TRUE(stop) << error.toStdString();
        const auto delivered =
            talvex.waitForLine(QStringLiteral("delivery"), QStringLiteral("Delivery to"), stop->firstLine);
        ASSERT_TRUE(delivered) << talvex.log().toStdString();
        EXPECT_EQ(delivered->message, QStringLiteral("Delivery to Zenity: Paste confirmed"));
        const auto finalFrom = talvex.waitForLine(QStringLiteral("stt"), QStringLiteral("Final text from"),
                                                  stop->firstLine, std::chrono::seconds(1));
        ASSERT_TRUE(finalFrom) << talvex.log().toStdString();

        ++dictations;
        const std::optional<Library> kept = talvex.waitForHistory(dictations);
        ASSERT_TRUE(kept);
        const Transcript &latest = kept->history.constFirst();
        if (answers) {
            EXPECT_EQ(latest.original, serverText);
            EXPECT_TRUE(
                finalFrom->message.startsWith(QStringLiteral("Final text from the transcription server")));
            // The server got the whole dictation and the vocabulary.
            const auto &request = server->requests().last();
            ASSERT_EQ(request.path, transcriptionsPath);
            const auto form = test::readForm(request.headers.value("content-type"), request.body);
            ASSERT_TRUE(form);
            EXPECT_EQ(form->value("prompt").data, "Talvex, Quindlark");
            EXPECT_EQ(form->value("language").data, "en");
            EXPECT_EQ(form->value("model").data, "small.en");
            const auto sent = test::readWav(form->value("file").data);
            ASSERT_TRUE(sent);
            EXPECT_EQ(sent->rate, 16000u);
            EXPECT_EQ(sent->channels, 1u);
            // flite's kal16 voice speaks 16-bit mono at 16 kHz: the recording holds all of it.
            const double spoken = double(QFileInfo(*wav).size() - 44) / 32000.0;
            EXPECT_GE(double(sent->samples.size()) / 16000.0, spoken);
        } else {
            EXPECT_TRUE(finalFrom->message.startsWith(QStringLiteral("Final text from PocketSphinx:")))
                << finalFrom->message.toStdString();
            EXPECT_LE(test::wordErrorRate(sentence, latest.original), 0.10)
                << "heard: " << latest.original.toStdString();
        }
        pasted += latest.text;
        EXPECT_EQ(target.text(), pasted) << "each dictation lands in the field, whole and once";
        EXPECT_EQ(QGuiApplication::clipboard()->text(), clipboardBefore);
    }
    EXPECT_EQ(XTestKeyboard::keysDown(), std::vector<int>{}) << "a key was left pressed";
    EXPECT_TRUE(talvex.stop()) << talvex.log().toStdString();
}

} // namespace
} // namespace talvex::e2e
